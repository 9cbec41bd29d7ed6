// Growable blocks whose capacity doubles as they fill.
#include "rt/grow.h"

#include <stdint.h>
#include <stdlib.h>

size_t rt_grow_capacity(size_t cap, size_t need, size_t first, size_t limit) {
  if (need > limit) {
    return 0;
  }
  if (cap < first) {
    cap = first;
  }
  while (cap < need) {
    cap = cap > limit / 2 ? need : cap * 2;
  }
  return cap;
}

int rt_list_add(RtList* list, char* item) {
  // Room for the item and a terminating null entry; the count stays an int.
  if (list->count > (1 << 29) ||
      rt_grow((void**)&list->items, &list->capacity, (size_t)list->count + 2,
              sizeof(char*), 8) != RT_OK) {
    return RT_NO_MEMORY;
  }
  list->items[list->count++] = item;
  return RT_OK;
}

int rt_grow(void** block, size_t* cap, size_t need, size_t unit, size_t first) {
  size_t grown_cap;
  void* grown;
  if (need <= *cap) {
    return RT_OK;
  }
  grown_cap = rt_grow_capacity(*cap, need, first, SIZE_MAX / unit);
  grown = grown_cap ? realloc(*block, grown_cap * unit) : NULL;
  if (!grown) {
    return RT_NO_MEMORY;
  }
  *block = grown;
  *cap = grown_cap;
  return RT_OK;
}
