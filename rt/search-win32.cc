// The program search on Windows, as the runtime's exec call makes it: the
// name itself, then each folder of PATH, with the runtime's extensions;
// batch files are passed over.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "rt/path.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"

static int is_file(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  return attr != INVALID_FILE_ATTRIBUTES &&
         (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The extension of the path's last name, from its last ".", or null.
static const char* extension(const char* path) {
  return strrchr(path + rt_path_dir_length(path, kRtDirSeps), '.');
}

static int is_batch(const char* path) {
  const char* dot = extension(path);
  return dot && (_stricmp(dot, ".bat") == 0 || _stricmp(dot, ".cmd") == 0);
}

// Tries candidate as given when it has an extension, else with the runtime's
// extensions in its order. A batch file, whose command line the command
// interpreter would parse again, is never taken: the search passes over it.
// Returns RT_FOUND_PROGRAM with found (RT_PATH_MAX bytes) filled,
// RT_FOUND_BATCH when only batch files match, else RT_FOUND_NONE.
static int try_candidate(const char* candidate, char* found) {
  static const char* const kExtensions[] = {".com", ".exe", ".bat", ".cmd"};
  size_t len = strlen(candidate);
  int seen = RT_FOUND_NONE;
  if (extension(candidate)) {
    if (len >= RT_PATH_MAX || !is_file(candidate)) {
      return RT_FOUND_NONE;
    }
    if (is_batch(candidate)) {
      return RT_FOUND_BATCH;
    }
    memcpy(found, candidate, len + 1);
    return RT_FOUND_PROGRAM;
  }
  for (const char* ext : kExtensions) {
    if (len + strlen(ext) >= RT_PATH_MAX) {
      break;
    }
    memcpy(found, candidate, len);
    strcpy(found + len, ext);
    if (is_file(found)) {
      if (!is_batch(found)) {
        return RT_FOUND_PROGRAM;
      }
      seen = RT_FOUND_BATCH;
    }
  }
  return seen;
}

// Searches as the runtime's exec call does: the name itself first, then,
// when it holds no directory part, each directory of PATH in order. PATH is
// read in UTF-16; a directory that the code page cannot name exactly is
// passed over, never searched under the name of its best-fit stand-in.
// Returns a RT_FOUND_ result, or -1 when out of memory.
int rt_search_program(const char* file, char* found) {
  char candidate[RT_PATH_MAX];
  size_t flen = strlen(file);
  wchar_t* path;
  int seen = try_candidate(file, found);
  if (seen == RT_FOUND_PROGRAM || rt_path_dir_length(file, kRtDirSeps) > 0) {
    return seen;
  }
  switch (rt_getenv_wide(L"PATH", &path)) {
    case RT_ENV_NO_MEMORY:
      return RT_FOUND_NO_MEMORY;
    case RT_ENV_UNSET:
      return seen;
  }
  for (const wchar_t* dir = path; *dir;) {
    const wchar_t* end = wcschr(dir, L';');
    size_t units = end ? (size_t)(end - dir) : wcslen(dir);
    int dlen = units > 0 && units < sizeof candidate
                   ? rt_narrow_exact(dir, (int)units, candidate,
                                     sizeof candidate)
                   : -1;
    if (dlen > 0 && (size_t)dlen + 1 + flen < sizeof candidate) {
      size_t pos = (size_t)dlen;
      int got;
      if (!rt_path_ends_in(candidate, pos, "\\/")) {
        candidate[pos++] = '\\';
      }
      memcpy(candidate + pos, file, flen + 1);
      got = try_candidate(candidate, found);
      if (got == RT_FOUND_PROGRAM) {
        free(path);
        return got;
      }
      if (got == RT_FOUND_BATCH) {
        seen = got;
      }
    }
    dir = end ? end + 1 : dir + units;
  }
  free(path);
  return seen;
}
