#include "common/loggingrules.h"
#include "common/safefile.h"
#include "common/standardoutput.h"
#include "common/version.h"
#include "hextool/hextool.h"

#include <cstdio>

// No QCoreApplication: the tool needs no event loop, and starts faster without.
int main(int argc, char *argv[])
{
    applyDefaultLoggingRules();
    QStringList arguments;
    // File names are bytes: one that is not UTF-8 still names its file.
    for (int i = 1; i < argc; ++i)
        arguments << SafeFile::nameFromNative(QByteArray(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    int exitCode = HexTool::kExitOk;
    if (arguments == QStringList{QStringLiteral("--version")})
        out << "corvant-hextool " CORVANT_VERSION "\n";
    else
        exitCode = HexTool::run(arguments, out, err);
    // Output that never arrived (> /dev/full) is a failed run, as coreutils have it.
    out.flush();
    if (!standardOutputWritten("corvant-hextool") && exitCode == HexTool::kExitOk)
        exitCode = HexTool::kExitWriteFailed;
    return exitCode;
}
