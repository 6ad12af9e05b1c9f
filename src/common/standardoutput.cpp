#include "common/standardoutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool standardOutputWritten(const char *program, int earlierError)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && !std::ferror(stdout))
        return true;
    const int error = !flushed && errno != 0 ? errno : earlierError;
    if (error == EPIPE)
        return true;
    std::fprintf(stderr, "%s: standard output: %s\n", program,
                 error != 0 ? std::strerror(error) : "write error");
    return false;
}
