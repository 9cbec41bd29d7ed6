// The key tool launcher's entry: runs the launcher on the program's
// arguments and exits with its status.
#include <stdlib.h>

#include "rt/rt.h"
#include "security/keytool.h"

int main(int argc, char** argv) {
  if (rt_args(&argc, &argv)) {
    sec_out_of_memory();
  }
  exit(sec_main(argc, argv));
}
