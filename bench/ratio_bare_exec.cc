// The bare start that the CGI gateway is measured against: the words given
// are the exec vector, the first naming the program searched on PATH.
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    return 2;
  }
  execvp(argv[1], argv + 1);
  return 1;
}
