// Setting this process's own environment from tests.
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "tests/support/proc.h"

bool test_putenv(const std::string& assignment) {
  // The copy belongs to the environment from now on.
  return rt_putenv(strdup(assignment.c_str())) == 0;
}
