// Applies the settings file of this program's folder through tavcore, once,
// for the instruction-count ratios. With "-print" the environment is written
// out afterwards, one entry a line.
#include <stdio.h>
#include <string.h>

#include "tavcore/tavcore.h"

extern char** environ;

int main(int argc, char** argv) {
  int rc = TAVInitializeEnvironment(1);
  if (argc > 1 && strcmp(argv[1], "-print") == 0) {
    for (char** e = environ; *e; e++) {
      puts(*e);
    }
  }
  return rc;
}
