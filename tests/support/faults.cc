// The wrapped allocator: malloc, calloc, realloc and strdup fail on demand.
#include "tests/support/faults.h"

#include <stddef.h>
#include <string.h>

#include <string>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
}

static int fail_at = 0;
static bool fail_alone = false;
static int calls = 0;
// How many allocations the last call of run_with_fault made.
static int last_made = 0;

void fault_fail_from(int n) {
  fail_at = n;
  fail_alone = false;
  calls = 0;
}

void fault_fail_only(int n) {
  fail_at = n;
  fail_alone = true;
  calls = 0;
}

int fault_count(void) {
  return calls;
}

std::string describe(const Fault& fault) {
  if (fault.n == 0) {
    return "no fault";
  }
  return (fault.alone ? "allocation " : "allocations from ") +
         std::to_string(fault.n) + (fault.alone ? " alone" : "");
}

bool run_with_fault(const Fault& fault, const std::function<void()>& call) {
  if (fault.alone) {
    fault_fail_only(fault.n);
  } else {
    fault_fail_from(fault.n);
  }
  call();
  last_made = calls;
  fault_fail_from(0);
  return fault.n > 0 && last_made >= fault.n;
}

int each_fault(const std::function<void(const Fault&)>& attempt) {
  int n = 1;
  for (;; n++) {
    bool struck = false;
    for (bool alone : {true, false}) {
      last_made = 0;
      attempt(Fault{n, alone});
      // The run just made tells whether an n-th allocation exists.
      struck = last_made >= n;
    }
    if (!struck) {
      break;
    }
  }
  attempt(Fault{0, false});
  return last_made;
}

// Counts one allocation; true when it is to fail.
static bool should_fail() {
  calls++;
  return fail_at > 0 && (fail_alone ? calls == fail_at : calls >= fail_at);
}

extern "C" {
void* __wrap_malloc(size_t size) {
  return should_fail() ? nullptr : __real_malloc(size);
}

void* __wrap_calloc(size_t count, size_t size) {
  return should_fail() ? nullptr : __real_calloc(count, size);
}

void* __wrap_realloc(void* block, size_t size) {
  return should_fail() ? nullptr : __real_realloc(block, size);
}

// strdup is wrapped too, so that its allocation can be made to fail.
char* __wrap_strdup(const char* s) {
  size_t len = strlen(s) + 1;
  char* copy = (char*)__wrap_malloc(len);
  if (copy) {
    memcpy(copy, s, len);
  }
  return copy;
}
}
