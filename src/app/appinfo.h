#pragma once

// The application title: the main window's caption and the first part of the
// titles of its file dialogs and input boxes.
constexpr const char *kApplicationTitle = "CORVANT Firmware Update Utility";
