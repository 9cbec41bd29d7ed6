// The environment on POSIX, with the Microsoft runtime's rules that the
// programs rely on: case-blind names and _putenv's removal rule. Its text
// is its own bytes, so the exact and text lookups are plain copies.
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "rt/rt.h"

extern char** environ;

// Length of the name part of an environment entry.
static size_t name_length(const char* entry) {
  const char* eq = strchr(entry, '=');
  return eq ? (size_t)(eq - entry) : strlen(entry);
}

// Finds an entry whose name equals name[0..len) without regard to case.
// An entry whose name matches exactly is preferred.
static char* find_entry(const char* name, size_t len) {
  char* folded = NULL;
  for (char** e = environ; e && *e; e++) {
    // Most entries differ in their first byte; letters of either case
    // differ in no other bit than 0x20.
    if (((*e)[0] | 0x20) != (name[0] | 0x20) || name_length(*e) != len) {
      continue;
    }
    if (strncmp(*e, name, len) == 0) {
      return *e;
    }
    if (!folded && strncasecmp(*e, name, len) == 0) {
      folded = *e;
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

int rt_putenv(char* assignment) {
  const char* eq = strchr(assignment, '=');
  size_t len;
  char* entry;
  if (!eq || eq == assignment) {
    return -1;
  }
  len = (size_t)(eq - assignment);
  // Remove every spelling of the name first, so that one variable remains.
  while ((entry = find_entry(assignment, len)) != NULL) {
    char* name = strndup(entry, len);
    int rc = name ? unsetenv(name) : -1;
    free(name);
    if (rc != 0) {
      return -1;
    }
  }
  if (eq[1] == '\0') {
    return 0;
  }
  return putenv(assignment) == 0 ? 0 : -1;
}

// Copies the value of name, or tells that it is unset.
static int copy_value(const char* name, char** value) {
  const char* found = rt_getenv(name);
  *value = NULL;
  if (!found) {
    return RT_ENV_UNSET;
  }
  *value = strdup(found);
  return *value ? RT_ENV_SET : RT_ENV_NO_MEMORY;
}

int rt_getenv_exact(const char* name, char** value) {
  return copy_value(name, value);
}

int rt_getenv_text(const char* name, char** value) {
  return copy_value(name, value);
}

int rt_putenv_text(const char* assignment) {
  const char* eq = strchr(assignment, '=');
  char* copy;
  int rc;
  if (!eq || eq == assignment) {
    return -1;
  }
  copy = strdup(assignment);
  if (!copy) {
    return -2;
  }
  rc = rt_putenv(copy);
  // The environment keeps a string that sets a variable, and nothing else.
  if (rc != 0 || eq[1] == '\0') {
    free(copy);
  }
  return rc;
}

char* rt_text_from_code_page(const char* text, size_t len) {
  (void)len;
  return (char*)text;
}
