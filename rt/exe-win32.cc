// The running program's own path on Windows, read in UTF-16.
#include <windows.h>

#include <stdlib.h>

#include "rt/rt-win32.h"
#include "rt/rt.h"

int rt_exe_path(char** path) {
  // The kernel cuts a longer path, on some systems with no error, and so
  // may return the buffer's length less one: that too counts as too long.
  wchar_t wide[RT_PATH_MAX + 1];
  char narrow[RT_PATH_MAX];
  DWORD n;
  *path = NULL;
  n = GetModuleFileNameW(NULL, wide, RT_PATH_MAX + 1);
  if (n == 0) {
    return RT_PATH_UNKNOWN;
  }
  if (n >= RT_PATH_MAX) {
    return RT_PATH_TOO_LONG;
  }
  // A path that the code page holds keeps the code page's limit too.
  if (rt_narrow_exact(wide, (int)n, narrow, sizeof narrow) == -2) {
    return RT_PATH_TOO_LONG;
  }
  switch (rt_text_from_wide(wide, n, path)) {
    case RT_OK:
      return RT_OK;
    case RT_NO_MEMORY:
      return RT_NO_MEMORY;
    default:
      return RT_PATH_UNKNOWN;
  }
}
