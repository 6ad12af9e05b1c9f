#pragma once

#include <optional>

// --version and --help (or -h) as a program's only argument, answered the
// same way by every program and before anything else starts: a script may
// ask where there is no display, no bus and no reader. The version line is
// "NAME VERSION"; the usage text starts "usage: NAME". Returns the exit
// code when one of them was asked (0, or 1 when standard output failed),
// nothing otherwise.
std::optional<int> answerVersionOrHelp(int argc, char *argv[], const char *program,
                                       const char *usage);
