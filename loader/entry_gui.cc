// The GUI loader's entry: runs the loader on the runtime's arguments and ends
// the process through the VM library, after a usage error too.
#include "loader/loader.h"
#include "rt/rt.h"
#include "vmstub/javai_g.h"

#ifdef _WIN32
#include <stdlib.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  rt_publish_environment();
  ldr_trace_name = "kestrelw";
  sysExit(ldr_main(__argc, __argv));
  return 0;
}
#else
int main(int argc, char** argv) {
  rt_publish_environment();
  ldr_trace_name = "kestrelw";
  sysExit(ldr_main(argc, argv));
  return 0;
}
#endif
