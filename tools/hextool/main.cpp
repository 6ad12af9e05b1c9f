#include "hextool.h"
#include "loggingrules.h"

#include <cstdio>

// No QCoreApplication: the tool needs no event loop, and starts faster without.
int main(int argc, char *argv[])
{
    applyDefaultLoggingRules();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return HexTool::run(arguments, out, err);
}
