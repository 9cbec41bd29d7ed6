// The library's attach and detach handler: loading and unloading do nothing
// beyond the runtime's own set-up and tear-down.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                               LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
