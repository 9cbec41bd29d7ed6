// Growable blocks: a capacity that doubles as a block fills, so that n
// additions cost about log2(n) reallocations. Plain code for every
// platform.
#ifndef RT_GROW_H_
#define RT_GROW_H_

#include <stddef.h>

#include "rt/outcome.h"

// The capacity, in entries, that a block of cap entries takes so that it
// holds need: first when cap is smaller, then doubled until it holds need,
// or exactly need where doubling would pass limit. Returns 0 when need
// itself passes limit.
size_t rt_grow_capacity(size_t cap, size_t need, size_t first, size_t limit);

// Makes the block *block of *cap entries of unit bytes hold at least need
// entries, growing it as rt_grow_capacity says (limit: as many entries as
// fit in memory) and keeping what it holds. Returns RT_OK, or RT_NO_MEMORY
// with *block and *cap as they were.
int rt_grow(void** block, size_t* cap, size_t need, size_t unit, size_t first);

// A growable list of strings. There is always room for one entry after the
// last, so the list can be ended by a null entry.
struct RtList {
  int count;
  size_t capacity;
  char** items;
};

// Adds item to the list. Returns RT_OK, or RT_NO_MEMORY when the list
// cannot grow (it is then unchanged). Borrowed; the list keeps the
// pointer, not a copy.
int rt_list_add(RtList* list, char* item);

#endif  // RT_GROW_H_
