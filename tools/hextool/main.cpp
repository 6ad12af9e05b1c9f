#include "common/loggingrules.h"
#include "common/programinfo.h"
#include "common/safefile.h"
#include "common/standardoutput.h"
#include "hextool/hextool.h"

#include <cstdio>

// No QCoreApplication: the tool needs no event loop, and starts faster without.
int main(int argc, char *argv[])
{
    if (const std::optional<int> answered
        = answerVersionOrHelp(argc, argv, "corvant-hextool", HexTool::kUsage))
        return *answered;
    applyDefaultLoggingRules();
    QStringList arguments;
    // File names are bytes: one that is not UTF-8 still names its file.
    for (int i = 1; i < argc; ++i)
        arguments << SafeFile::nameFromNative(QByteArray(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    int exitCode = HexTool::kExitOk;
    exitCode = HexTool::run(arguments, out, err);
    // Output that never arrived (> /dev/full) is a failed run, as coreutils have it.
    out.flush();
    if (!standardOutputWritten("corvant-hextool") && exitCode == HexTool::kExitOk)
        exitCode = HexTool::kExitWriteFailed;
    return exitCode;
}
