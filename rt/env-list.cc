// Several variables read exactly into one block, as a program that hands
// them all on reads them. Plain code for every platform, on the layer's
// exact lookup.
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"

int rt_getenv_exact_list(int count, const char* const* names,
                         const char* const* prefixes, int* found,
                         char** values) {
  size_t total = 0;
  int failed = 0;
  char* at;
  // Each copy is made on its own, then the copies are joined into one
  // block; an unset variable's entry is its prefix alone.
  for (int i = 0; i < count; i++) {
    found[i] = rt_getenv_exact(names[i], prefixes[i], &values[i]);
    failed |= found[i] == RT_NO_MEMORY;
    total += strlen(values[i] ? values[i] : prefixes[i]) + 1;
  }
  at = failed ? NULL : (char*)malloc(total);
  for (int i = 0; i < count; i++) {
    char* copy = values[i];
    const char* text = copy ? copy : prefixes[i];
    size_t size = strlen(text) + 1;
    values[i] = at;
    if (at) {
      memcpy(at, text, size);
      at += size;
    }
    free(copy);
  }
  return values[0] ? RT_OK : RT_NO_MEMORY;
}
