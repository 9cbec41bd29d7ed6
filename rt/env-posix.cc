// The environment on POSIX, with the Microsoft runtime's rules that the
// programs rely on: case-blind names and _putenv's removal rule. Its text
// is its own bytes, so the exact and text lookups are plain copies.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "rt/grow.h"
#include "rt/rt.h"

extern char** environ;

// The ASCII letter c in lower case; every other byte as it is.
static unsigned char fold(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? (unsigned char)(c | 0x20) : c;
}

// Tells how entry's name compares with name[0..len): 2 when it is the same
// name spelled the same, 1 when it differs only in the case of ASCII
// letters, 0 when it is another name.
static int same_name(const char* entry, const char* name, size_t len) {
  int exact = 1;
  for (size_t i = 0; i < len; i++) {
    unsigned char a = (unsigned char)entry[i];
    unsigned char b = (unsigned char)name[i];
    if (a != b) {
      // The terminator and "=" differ from every byte of a name.
      if (fold(a) != fold(b)) {
        return 0;
      }
      exact = 0;
    }
  }
  return entry[len] == '=' ? 1 + exact : 0;
}

// Finds an entry whose name equals name[0..len) without regard to case.
// An entry whose name matches exactly is preferred.
static char* find_entry(const char* name, size_t len) {
  char* folded = NULL;
  // Letters of either case differ in no other bit than 0x20, so most
  // entries are passed over on their first byte alone.
  unsigned char first = (unsigned char)(name[0] | 0x20);
  for (char** e = environ; e && *e; e++) {
    if ((unsigned char)((*e)[0] | 0x20) != first) {
      continue;
    }
    switch (same_name(*e, name, len)) {
      case 2:
        return *e;
      case 1:
        folded = folded ? folded : *e;
        break;
    }
  }
  return folded;
}

const char* rt_getenv(const char* name) {
  size_t len = strlen(name);
  char* entry;
  if (len == 0 || strchr(name, '=')) {
    return NULL;
  }
  entry = find_entry(name, len);
  return entry ? entry + len + 1 : NULL;
}

// The environment table as this layer keeps it once it has set a variable,
// with an index of its names, so that setting one finds its entry without
// reading every other entry. The C library's own calls take the table over
// or copy it, as they do any table that a program sets; a change made that
// way is seen (environ moved, or entries shifted by unsetenv) and the table
// and index are made again from environ.
static char** table = NULL;
static size_t table_cap = 0;
static size_t table_len = 0;
// Open addressing over table positions plus one (0 is an empty slot), keyed
// by the name with its ASCII letters folded; index_cap is a power of two,
// at least twice table_cap.
static size_t* index_slots = NULL;
static size_t index_cap = 0;

// The hash of name[0..len) with its ASCII letters folded (FNV-1a).
static size_t name_hash(const char* name, size_t len) {
  size_t h = (size_t)2166136261u;
  for (size_t i = 0; i < len; i++) {
    h = (h ^ fold((unsigned char)name[i])) * (size_t)16777619u;
  }
  return h;
}

// The length of the name part of an entry.
static size_t entry_name_length(const char* entry) {
  const char* eq = strchr(entry, '=');
  return eq ? (size_t)(eq - entry) : strlen(entry);
}

static void index_insert(size_t pos) {
  const char* entry = table[pos];
  size_t mask = index_cap - 1;
  size_t at = name_hash(entry, entry_name_length(entry)) & mask;
  while (index_slots[at] != 0) {
    at = (at + 1) & mask;
  }
  index_slots[at] = pos + 1;
}

// Makes the index again from the table's entries.
static void reindex(void) {
  memset(index_slots, 0, index_cap * sizeof(size_t));
  for (size_t pos = 0; pos < table_len; pos++) {
    index_insert(pos);
  }
}

// Tells whether the table is environ as this layer left it.
static int table_current(void) {
  return table && environ == table && table[table_len] == NULL &&
         (table_len == 0 || table[table_len - 1] != NULL);
}

// Makes environ a table of this layer's with room for one more entry, and
// its index, from environ's entries. Returns RT_OK, or RT_NO_MEMORY with
// nothing changed.
static int adopt(size_t room) {
  size_t len = 0;
  size_t cap;
  size_t icap;
  char** grown;
  size_t* slots;
  while (environ && environ[len]) {
    len++;
  }
  // The index's capacity, twice the table's, stays a power of two.
  cap =
      rt_grow_capacity(0, len + room + 1, 64, SIZE_MAX / (2 * sizeof(size_t)));
  if (cap == 0 || (cap & (cap - 1)) != 0) {
    return RT_NO_MEMORY;
  }
  icap = 2 * cap;
  grown = (char**)malloc(cap * sizeof(char*));
  slots = (size_t*)malloc(icap * sizeof(size_t));
  if (!grown || !slots) {
    free(grown);
    free(slots);
    return RT_NO_MEMORY;
  }
  if (len > 0) {
    memcpy(grown, environ, len * sizeof(char*));
  }
  grown[len] = NULL;
  // Nothing but this layer points at its earlier table, environ aside,
  // which moves to the new one now.
  free(table);
  free(index_slots);
  table = grown;
  table_cap = cap;
  table_len = len;
  index_slots = slots;
  index_cap = icap;
  environ = table;
  reindex();
  return RT_OK;
}

void rt_env_release(void) {
  if (table == NULL || environ == table) {
    return;
  }
  free(table);
  free(index_slots);
  table = NULL;
  index_slots = NULL;
  table_cap = 0;
  table_len = 0;
  index_cap = 0;
}

// Sets, replaces or removes a variable as rt_putenv does. Returns RT_OK,
// RT_REFUSED, or RT_NO_MEMORY with nothing changed.
static int put_entry(char* assignment) {
  const char* eq = strchr(assignment, '=');
  size_t len;
  size_t mask;
  size_t found = 0;
  int matches = 0;
  if (!eq || eq == assignment) {
    return RT_REFUSED;
  }
  len = (size_t)(eq - assignment);
  if ((!table_current() || table_len + 2 > table_cap) && adopt(1) != RT_OK) {
    return RT_NO_MEMORY;
  }
  mask = index_cap - 1;
  for (size_t at = name_hash(assignment, len) & mask; index_slots[at] != 0;
       at = (at + 1) & mask) {
    size_t pos = index_slots[at] - 1;
    if (same_name(table[pos], assignment, len)) {
      found = pos;
      matches++;
    }
  }
  if (matches == 1 && eq[1] != '\0') {
    // The name keeps its place; its entry changes.
    table[found] = assignment;
    return RT_OK;
  }
  if (matches > 0) {
    // Every spelling of the name goes, so that one variable remains; the
    // index is made again after.
    size_t kept = 0;
    for (size_t pos = 0; pos < table_len; pos++) {
      if (!same_name(table[pos], assignment, len)) {
        table[kept++] = table[pos];
      }
    }
    table[kept] = NULL;
    table_len = kept;
    reindex();
  }
  if (eq[1] == '\0') {
    return RT_OK;
  }
  table[table_len] = assignment;
  table[table_len + 1] = NULL;
  index_insert(table_len);
  table_len++;
  return RT_OK;
}

int rt_putenv(char* assignment) {
  return put_entry(assignment) == RT_OK ? 0 : -1;
}

int rt_getenv_exact(const char* name, const char* prefix, char** value) {
  const char* found = rt_getenv(name);
  size_t plen;
  size_t vlen;
  *value = NULL;
  if (!found) {
    return RT_UNSET;
  }
  plen = strlen(prefix);
  vlen = strlen(found);
  *value = (char*)malloc(plen + vlen + 1);
  if (!*value) {
    return RT_NO_MEMORY;
  }
  memcpy(*value, prefix, plen);
  memcpy(*value + plen, found, vlen + 1);
  return RT_OK;
}

int rt_getenv_text(const char* name, char** value) {
  return rt_getenv_exact(name, "", value);
}

int rt_putenv_text(const char* assignment) {
  const char* eq = strchr(assignment, '=');
  char* copy;
  int rc;
  if (!eq || eq == assignment) {
    return RT_REFUSED;
  }
  copy = strdup(assignment);
  if (!copy) {
    return RT_NO_MEMORY;
  }
  rc = put_entry(copy);
  // The environment keeps a string that sets a variable, and nothing else.
  if (rc != RT_OK || eq[1] == '\0') {
    free(copy);
  }
  return rc;
}

int rt_getenv_text_into(const char* name, char* buf, size_t size) {
  const char* value = rt_getenv(name);
  size_t len;
  buf[0] = '\0';
  if (!value) {
    return RT_UNSET;
  }
  len = strlen(value);
  if (len >= size) {
    return RT_NOT_TEXT;
  }
  memcpy(buf, value, len + 1);
  return RT_OK;
}

void rt_publish_environment(void) {}
