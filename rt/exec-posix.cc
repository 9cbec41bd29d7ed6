// Starting another program on POSIX: exec replaces the process, and the
// vector reaches the program unchanged, so no quoting is needed.
#include <errno.h>
#include <unistd.h>

#include "rt/rt.h"

int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report) {
  (void)status;
  execvp(file, argv);
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
      report->reason = RT_EXEC_NOT_FOUND;
      break;
    case E2BIG:
      report->reason = RT_EXEC_TOO_LONG;
      break;
    case ENOMEM:
      report->reason = RT_EXEC_NO_MEMORY;
      break;
    default:
      report->reason = RT_EXEC_REFUSED;
      break;
  }
  return 1;
}
