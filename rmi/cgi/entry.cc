// The CGI gateway launcher's entry: runs the gateway and exits with its
// status.
#include <stdlib.h>

#include "rmi/cgi/gateway.h"

int main(int argc, char** argv) {
  exit(cgi_main(argc, argv));
}
