// The GUI loader's entry: runs the loader on the program's arguments and ends
// the process through the VM library, after a usage error too.
#include "loader/loader.h"
#include "rt/rt.h"
#include "vmstub/javai_g.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int argc = 0;
  char** argv = NULL;
  rt_publish_environment();
  ldr_trace_name = "kestrelw";
  // The arguments come from the UTF-16 command line, never from the
  // runtime's narrow tables.
  if (rt_args(&argc, &argv)) {
    sysExit(ldr_out_of_memory());
  }
  sysExit(ldr_main(argc, argv));
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
