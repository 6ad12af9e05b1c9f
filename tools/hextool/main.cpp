#include "common/loggingrules.h"
#include "common/safefile.h"
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
    if (arguments == QStringList{QStringLiteral("--version")}) {
        out << "corvant-hextool " CORVANT_VERSION "\n";
        return 0;
    }
    return HexTool::run(arguments, out, err);
}
