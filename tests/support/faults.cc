// The wrapped allocator: malloc, calloc, realloc and strdup fail on demand.
#include "tests/support/faults.h"

#include <stddef.h>
#include <string.h>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
}

static int fail_from = 0;
static int calls = 0;

void fault_fail_from(int n) {
  fail_from = n;
  calls = 0;
}

int fault_count(void) {
  return calls;
}

// Counts one allocation; true when it is to fail.
static bool should_fail() {
  calls++;
  return fail_from > 0 && calls >= fail_from;
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
