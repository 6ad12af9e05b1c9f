#pragma once

#include <QCoreApplication>

// The application title: the main window's caption and the first part of the
// titles of its file dialogs and input boxes.
constexpr const char *kApplicationTitle
    = QT_TRANSLATE_NOOP("AppInfo", "CORVANT Firmware Update Utility");

// The title in the user's language.
inline QString applicationTitle()
{
    return QCoreApplication::translate("AppInfo", kApplicationTitle);
}

// The desktop entry's id, which docks match the window with, and the icon's
// name in the desktop's theme.
constexpr const char *kDesktopFileName = "org.corvant.fwupdate";
constexpr const char *kIconName = "corvant-fwupdate";
