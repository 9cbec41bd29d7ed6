// The console loader's entry: runs the loader and exits with its status.
#include <stdlib.h>

#include "loader/loader.h"

int main(int argc, char** argv) {
  exit(ldr_main(argc, argv));
}
