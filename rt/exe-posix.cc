// The running program's own path on POSIX, from the kernel's link to it.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "rt/rt.h"

int rt_exe_path(char** path) {
  char buf[RT_PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  *path = NULL;
  if (n <= 0) {
    return RT_PATH_UNKNOWN;
  }
  if ((size_t)n >= sizeof buf) {
    return RT_PATH_TOO_LONG;
  }
  *path = (char*)malloc((size_t)n + 1);
  if (!*path) {
    return RT_NO_MEMORY;
  }
  memcpy(*path, buf, (size_t)n);
  (*path)[n] = '\0';
  return RT_OK;
}
