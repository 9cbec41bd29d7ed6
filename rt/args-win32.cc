// The argument list on Windows, built from the UTF-16 command line rather
// than from the runtime's narrow one: split by msvcrt's rules, wildcards
// expanded from UTF-16 names, and each argument turned into code-page text
// once, exactly or marked as not in the code page.
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <wchar.h>

#include "rt/cmdline.h"
#include "rt/grow.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"

// The runtime's own expansion would work on the narrow names, with their
// stand-ins; rt_args does it instead.
extern "C" {
int _dowildcard = 0;
}

// An argument that the code page cannot hold: the entry of the list, which
// is its form for messages, and its exact text (null when it has none).
struct Unheld {
  const char* shown;
  const char* exact;
};

// Every such argument of the list; few or none. Never freed.
static Unheld* unheld;
static int unheld_count;

// Marks shown as the form of an argument that the code page cannot hold.
// Returns 0, or 1 when out of memory.
static int mark_unheld(const char* shown, const wchar_t* wide, size_t units) {
  char* exact = NULL;
  Unheld* grown;
  if (rt_text_from_wide(wide, units, &exact) == RT_NO_MEMORY) {
    return 1;
  }
  grown = (Unheld*)realloc(unheld, ((size_t)unheld_count + 1) * sizeof *grown);
  if (!grown) {
    free(exact);
    return 1;
  }
  unheld = grown;
  unheld[unheld_count].shown = shown;
  unheld[unheld_count].exact = exact;
  unheld_count++;
  return 0;
}

// Adds the argument wide (units units, a terminator after them) in the code
// page. A match names an existing file, so its short name may stand for
// it. Returns 0, or 1 when out of memory.
static int add_argument(RtList* list, const wchar_t* wide, size_t units,
                        int match) {
  char* cp;
  int rc = rt_code_page_copy(wide, units, "", &cp);
  if (rc == RT_NOT_IN_CODE_PAGE && match) {
    char* shorter;
    int got = rt_short_code_page(wide, "", &shorter);
    if (got == RT_OK) {
      free(cp);
      cp = shorter;
      rc = RT_OK;
    } else if (got == RT_NO_MEMORY) {
      rc = RT_NO_MEMORY;
    }
  }
  if (rc == RT_NO_MEMORY) {
    free(cp);
    return 1;
  }
  if (rc == RT_NOT_IN_CODE_PAGE && mark_unheld(cp, wide, units)) {
    free(cp);
    return 1;
  }
  return rt_list_add(list, cp) == RT_OK ? 0 : 1;
}

static int is_dot_entry(const wchar_t* name) {
  return name[0] == L'.' &&
         (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Adds the names that pattern matches, each after the pattern's folder
// part, in the order found; the pattern itself when nothing matches.
// Returns 0, or 1 when out of memory.
static int add_matches(RtList* list, const wchar_t* pattern, size_t units) {
  WIN32_FIND_DATAW found;
  size_t dir = units;
  int added = 0;
  wchar_t* path;
  HANDLE h = FindFirstFileW(pattern, &found);
  if (h == INVALID_HANDLE_VALUE) {
    return add_argument(list, pattern, units, 0);
  }
  while (dir > 0 && pattern[dir - 1] != L'\\' && pattern[dir - 1] != L'/' &&
         pattern[dir - 1] != L':') {
    dir--;
  }
  path = (wchar_t*)malloc((dir + MAX_PATH + 1) * sizeof(wchar_t));
  if (!path) {
    FindClose(h);
    return 1;
  }
  wmemcpy(path, pattern, dir);
  do {
    size_t name = wcslen(found.cFileName);
    if (is_dot_entry(found.cFileName) || name > MAX_PATH) {
      continue;
    }
    wmemcpy(path + dir, found.cFileName, name + 1);
    if (add_argument(list, path, dir + name, 1)) {
      free(path);
      FindClose(h);
      return 1;
    }
    added++;
  } while (FindNextFileW(h, &found));
  free(path);
  FindClose(h);
  return added ? 0 : add_argument(list, pattern, units, 0);
}

int rt_args(int* argc, char*** argv) {
  const wchar_t* line = GetCommandLineW();
  size_t len = line ? wcslen(line) : 0;
  uint16_t* out = (uint16_t*)malloc((2 * len + 2) * sizeof(uint16_t));
  RtCmdArg* args = (RtCmdArg*)malloc((len / 2 + 2) * sizeof(RtCmdArg));
  RtList list = {0, 0, NULL};
  size_t count;
  int failed = !out || !args;
  if (!failed) {
    count = rt_cmdline_split((const uint16_t*)line, len, out, args);
    for (size_t i = 0; i < count && !failed; i++) {
      const wchar_t* arg = (const wchar_t*)(out + args[i].start);
      // The program's own name and quoted arguments are never patterns.
      failed = i > 0 && !args[i].quoted && wcspbrk(arg, L"*?")
                   ? add_matches(&list, arg, args[i].len)
                   : add_argument(&list, arg, args[i].len, 0);
    }
  }
  free(out);
  free(args);
  if (failed) {
    free(list.items);
    return RT_NO_MEMORY;
  }
  // The list always has room for its null entry.
  list.items[list.count] = NULL;
  *argc = list.count;
  *argv = list.items;
  return RT_OK;
}

int rt_arg_not_in_code_page(const char* arg, const char** exact) {
  for (int i = 0; i < unheld_count; i++) {
    if (unheld[i].shown == arg) {
      *exact = unheld[i].exact;
      return 1;
    }
  }
  return 0;
}
