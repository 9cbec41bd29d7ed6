// The key tool launcher's entry: runs the launcher and exits with its status.
#include <stdlib.h>

#include "security/keytool.h"

int main(int argc, char** argv) {
  exit(sec_main(argc, argv));
}
