// The program search on Windows, as the runtime's exec call makes it but in
// UTF-16 from start to end: the name itself, then each folder of PATH, with
// the runtime's extensions; batch files are passed over.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include "rt/rt-win32.h"
#include "rt/rt.h"

static int is_file(const wchar_t* path) {
  DWORD attr = GetFileAttributesW(path);
  return attr != INVALID_FILE_ATTRIBUTES &&
         (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

static int is_separator(wchar_t c) {
  return c == L'\\' || c == L'/' || c == L':';
}

// The extension of the path's last name, from its last ".", or null.
static const wchar_t* extension(const wchar_t* path) {
  const wchar_t* dot = NULL;
  for (const wchar_t* p = path; *p; p++) {
    if (*p == L'.') {
      dot = p;
    } else if (is_separator(*p)) {
      dot = NULL;
    }
  }
  return dot;
}

static int is_batch(const wchar_t* path) {
  const wchar_t* dot = extension(path);
  return dot && (_wcsicmp(dot, L".bat") == 0 || _wcsicmp(dot, L".cmd") == 0);
}

// Tries candidate (len units, in a buffer of RT_PATH_MAX units) as given
// when it has an extension, else with the runtime's extensions in its
// order, each written after it in the buffer. A batch file, whose command
// line the command interpreter would parse again, is never taken: the
// search passes over it. Returns RT_OK with the buffer holding
// the program's path, RT_BATCH_FILE when only batch files match, else
// RT_NOT_FOUND.
static int try_candidate(wchar_t* candidate, size_t len) {
  static const wchar_t* const kExtensions[] = {L".com", L".exe", L".bat",
                                               L".cmd"};
  int seen = RT_NOT_FOUND;
  if (extension(candidate)) {
    if (!is_file(candidate)) {
      return RT_NOT_FOUND;
    }
    return is_batch(candidate) ? RT_BATCH_FILE : RT_OK;
  }
  for (const wchar_t* ext : kExtensions) {
    if (len + wcslen(ext) >= RT_PATH_MAX) {
      break;
    }
    wcscpy(candidate + len, ext);
    if (is_file(candidate)) {
      if (!is_batch(candidate)) {
        return RT_OK;
      }
      seen = RT_BATCH_FILE;
    }
  }
  candidate[len] = L'\0';
  return seen;
}

// Copies the program's path in candidate into *found. Returns
// RT_OK, or RT_NO_MEMORY.
static int take(const wchar_t* candidate, wchar_t** found) {
  *found = _wcsdup(candidate);
  return *found ? RT_OK : RT_NO_MEMORY;
}

int rt_search_program(const wchar_t* file, wchar_t** found) {
  wchar_t candidate[RT_PATH_MAX];
  size_t flen = wcslen(file);
  int has_dir = 0;
  wchar_t* path;
  int seen = RT_NOT_FOUND;
  *found = NULL;
  for (const wchar_t* p = file; *p; p++) {
    has_dir |= is_separator(*p);
  }
  if (flen < RT_PATH_MAX) {
    wmemcpy(candidate, file, flen + 1);
    seen = try_candidate(candidate, flen);
    if (seen == RT_OK) {
      return take(candidate, found);
    }
  }
  if (has_dir) {
    return seen;
  }
  switch (rt_getenv_wide(L"PATH", &path)) {
    case RT_NO_MEMORY:
      return RT_NO_MEMORY;
    case RT_UNSET:
      return seen;
  }
  for (const wchar_t* dir = path; *dir;) {
    const wchar_t* end = wcschr(dir, L';');
    size_t units = end ? (size_t)(end - dir) : wcslen(dir);
    if (units > 0 && units + 1 + flen < RT_PATH_MAX) {
      size_t pos = units;
      int got;
      wmemcpy(candidate, dir, units);
      if (candidate[pos - 1] != L'\\' && candidate[pos - 1] != L'/') {
        candidate[pos++] = L'\\';
      }
      wmemcpy(candidate + pos, file, flen + 1);
      got = try_candidate(candidate, pos + flen);
      if (got == RT_OK) {
        free(path);
        return take(candidate, found);
      }
      if (got == RT_BATCH_FILE) {
        seen = got;
      }
    }
    dir = end ? end + 1 : dir + units;
  }
  free(path);
  return seen;
}
