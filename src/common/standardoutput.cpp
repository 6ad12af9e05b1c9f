#include "common/standardoutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool standardOutputWritten(const char *program)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    const int error = errno;
    if (error == EPIPE)
        return true;
    std::fprintf(stderr, "%s: standard output: %s\n", program,
                 error != 0 ? std::strerror(error) : "write error");
    return false;
}
