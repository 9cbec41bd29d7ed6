// Starting another program on POSIX: exec replaces the process, and the
// vector reaches the program unchanged, so no quoting is needed.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rt/rt.h"

char* rt_exec_arg(const char* prefix, const char* value) {
  size_t plen = strlen(prefix);
  size_t vlen = strlen(value);
  char* arg = (char*)malloc(plen + vlen + 1);
  if (!arg) {
    return NULL;
  }
  memcpy(arg, prefix, plen);
  memcpy(arg + plen, value, vlen + 1);
  return arg;
}

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
