// The console loader's entry: runs the loader on the program's arguments and
// exits with its status.
#include <stdlib.h>

#include "loader/loader.h"
#include "rt/rt.h"

int main(int argc, char** argv) {
  if (rt_args(&argc, &argv)) {
    exit(ldr_out_of_memory());
  }
  exit(ldr_main(argc, argv));
}
