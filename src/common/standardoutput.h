#pragma once

// Whether everything written to standard output got there: flushes it and
// looks for a write error (a full disk, an I/O error), which it then names
// on standard error after the program's name. A reader that closed its
// pipe (`| head`) is no error: it asked for no more.
// earlierError: errno of a write that already failed, or 0.
bool standardOutputWritten(const char *program, int earlierError = 0);
