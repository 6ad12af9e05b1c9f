#include "common/programinfo.h"

#include "common/standardoutput.h"
#include "common/version.h"

#include <cstdio>
#include <cstring>

std::optional<int> answerVersionOrHelp(int argc, char *argv[], const char *program,
                                       const char *usage)
{
    if (argc != 2)
        return std::nullopt;
    const char *argument = argv[1];
    if (std::strcmp(argument, "--version") == 0)
        std::printf("%s %s\n", program, CORVANT_VERSION);
    else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
        std::fputs(usage, stdout);
    else
        return std::nullopt;
    return standardOutputWritten(program) ? 0 : 1;
}
