// Starting another program on POSIX: exec replaces the process, and the
// vector reaches the program unchanged, so no quoting is needed.
#include <errno.h>
#include <unistd.h>

#include "rt/rt.h"

int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report) {
  (void)status;
  (void)report;
  execvp(file, argv);
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
      return RT_NOT_FOUND;
    case E2BIG:
      return RT_COMMAND_LINE_TOO_LONG;
    case ENOMEM:
      return RT_NO_MEMORY;
    default:
      return RT_REFUSED;
  }
}
