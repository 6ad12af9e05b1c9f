#pragma once

#include <QStringList>
#include <QTextStream>

// corvant-hextool: the firmware image core on the command line, for scripts
// and production lines.
namespace HexTool {

extern const char kUsage[];

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitInvalidFile = 2;
constexpr int kExitWriteFailed = 3;

// Runs one command; arguments exclude the program name. Returns the exit code.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace HexTool
