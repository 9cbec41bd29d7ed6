// The bare launch that the loader and the key tool launcher are measured
// against: the assignments before "--" go to putenv as they are, and the
// words after it go to the VM library as the launch vector.
#include <stdlib.h>
#include <string.h>

#include "vmstub/javai_g.h"

int main(int argc, char** argv) {
  int i = 1;
  while (i < argc && strcmp(argv[i], "--") != 0) {
    putenv(argv[i]);
    i++;
  }
  if (i < argc) {
    i++;
  }
  return java_main(argc - i, argv + i);
}
