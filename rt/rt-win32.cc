// The process on Windows: the runtime's environment tables and the path of
// the running executable. Files are in file-win32.cc, text in text-win32.cc,
// the argument list in args-win32.cc, the environment in env-win32.cc and
// starting programs in exec-win32.cc.
#include <windows.h>

#include <stdlib.h>

#include "rt/rt-win32.h"
#include "rt/rt.h"

// The runtime's initial environment table, exported by msvcrt as data.
extern "C" __declspec(dllimport) char** __initenv;

void rt_publish_environment(void) {
  __initenv = _environ;
}

int rt_exe_path(char** path) {
  // The kernel cuts a longer path, on some systems with no error, and so
  // may return the buffer's length less one: that too counts as too long.
  wchar_t wide[RT_PATH_MAX + 1];
  char narrow[RT_PATH_MAX];
  DWORD n;
  *path = NULL;
  n = GetModuleFileNameW(NULL, wide, RT_PATH_MAX + 1);
  if (n == 0) {
    return RT_EXE_PATH_UNKNOWN;
  }
  if (n >= RT_PATH_MAX) {
    return RT_EXE_PATH_TOO_LONG;
  }
  // A path that the code page holds keeps the code page's limit too.
  if (rt_narrow_exact(wide, (int)n, narrow, sizeof narrow) == -2) {
    return RT_EXE_PATH_TOO_LONG;
  }
  switch (rt_text_from_wide(wide, n, path)) {
    case RT_TEXT_EXACT:
      return 0;
    case RT_TEXT_NO_MEMORY:
      return RT_EXE_PATH_NO_MEMORY;
    default:
      return RT_EXE_PATH_UNKNOWN;
  }
}
