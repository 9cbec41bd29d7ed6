// The environment on Windows. msvcrt's narrow table serves the lookups that
// callers share with the runtime (getenv, _putenv); values that must arrive
// exactly are read from the kernel's UTF-16 environment, which msvcrt keeps
// in step with every change, and put back in UTF-16 with _wputenv, which
// updates both.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "rt/rt-win32.h"
#include "rt/rt.h"
#include "rt/utf.h"

// Assignments whose bytes the runtime's table does not hold as given.
// msvcrt keeps what _putenv is given, but a runtime that rebuilds its table
// from the UTF-16 environment after every change (Wine's does) holds there
// what the system made of bytes that are no text in the code page: a
// stand-in character, a blank lost. The layer keeps each such assignment
// with the entry the table made of it, and puts the assignment back
// wherever the table still holds that entry; an entry changed by anyone
// else ends the keeping.
struct Kept {
  Kept* next;
  char* assignment;  // belongs to the environment; never freed
  size_t name_len;
  char made[1];      // the table's entry for it, as the runtime made it
};

static Kept* kept = NULL;

// The runtime's entry for the variable whose name is the first len bytes
// of name, or null.
static char** table_entry(const char* name, size_t len) {
  for (char** e = _environ; e && *e; e++) {
    if (_strnicmp(*e, name, len) == 0 && (*e)[len] == '=') {
      return e;
    }
  }
  return NULL;
}

// Forgets what is kept for the variable named by the first len bytes of
// name.
static void forget_kept(const char* name, size_t len) {
  for (Kept** k = &kept; *k;) {
    if ((*k)->name_len == len && _strnicmp((*k)->assignment, name, len) == 0) {
      Kept* gone = *k;
      *k = gone->next;
      free(gone);
    } else {
      k = &(*k)->next;
    }
  }
}

// Puts every kept assignment back where the table holds what it made of it.
static void restore_kept(void) {
  for (Kept** k = &kept; *k;) {
    char** e = table_entry((*k)->assignment, (*k)->name_len);
    if (e && strcmp(*e, (*k)->made) == 0) {
      *e = (*k)->assignment;
    }
    if (e && *e == (*k)->assignment) {
      k = &(*k)->next;
    } else {
      Kept* gone = *k;
      *k = gone->next;
      free(gone);
    }
  }
}

const char* rt_getenv(const char* name) {
  restore_kept();
  return getenv(name);
}

int rt_putenv(char* assignment) {
  const char* eq = strchr(assignment, '=');
  size_t len = strlen(assignment);
  char** e;
  Kept* k;
  int rc;
  if (!eq || eq == assignment) {
    return -1;
  }
  // The table's entry takes at most two bytes for each byte given: every
  // byte or pair of bytes becomes one UTF-16 unit, and every unit at most
  // two bytes again. Room is taken first, so that nothing fails after the
  // environment has changed.
  k = (Kept*)malloc(sizeof(Kept) + 2 * len);
  if (!k) {
    return -1;
  }
  rc = _putenv(assignment);
  if (rc == 0) {
    forget_kept(assignment, (size_t)(eq - assignment));
  }
  e = rc == 0 && eq[1] != '\0'
          ? table_entry(assignment, (size_t)(eq - assignment))
          : NULL;
  if (e && strcmp(*e, assignment) != 0 && strlen(*e) <= 2 * len) {
    strcpy(k->made, *e);
    k->assignment = assignment;
    k->name_len = (size_t)(eq - assignment);
    k->next = kept;
    kept = k;
    k = NULL;
  }
  free(k);
  restore_kept();
  return rc;
}

void rt_env_release(void) {}

// Tells whether name can name a variable: not empty and without "=".
static int valid_name(const char* name) {
  return name[0] != '\0' && !strchr(name, '=');
}

int rt_getenv_wide(const wchar_t* name, wchar_t** value) {
  *value = NULL;
  for (;;) {
    DWORD need;
    DWORD got;
    wchar_t* buf;
    // A set but empty variable needs room for its terminator alone.
    SetLastError(0);
    need = GetEnvironmentVariableW(name, NULL, 0);
    if (need == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return RT_UNSET;
      }
      need = 1;
    }
    buf = (wchar_t*)malloc((size_t)need * sizeof(wchar_t));
    if (!buf) {
      return RT_NO_MEMORY;
    }
    SetLastError(0);
    got = GetEnvironmentVariableW(name, buf, need);
    if (got < need) {
      if (got == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        free(buf);
        return RT_UNSET;
      }
      buf[got] = L'\0';
      *value = buf;
      return RT_OK;
    }
    // The value grew between the two calls: ask again.
    free(buf);
  }
}

// Reads the value of the variable name (environment text) in UTF-16 into
// *wide, which the caller frees with free(). An empty name, one holding
// "=", and one that is no text name no variable. Returns RT_OK, RT_UNSET or
// RT_NO_MEMORY.
static int wide_value(const char* name, wchar_t** wide) {
  wchar_t* wname;
  int rc;
  *wide = NULL;
  if (!valid_name(name)) {
    return RT_UNSET;
  }
  rc = rt_wide_from_text(name, &wname);
  if (rc != RT_OK) {
    return rc == RT_NO_MEMORY ? RT_NO_MEMORY : RT_UNSET;
  }
  rc = rt_getenv_wide(wname, wide);
  free(wname);
  return rc;
}

int rt_getenv_exact(const char* name, const char* prefix, char** value) {
  wchar_t* wide;
  int rc = wide_value(name, &wide);
  *value = NULL;
  if (rc != RT_OK) {
    return rc;
  }
  rc = rt_code_page_copy(wide, wcslen(wide), prefix, value);
  free(wide);
  return rc;
}

int rt_getenv_text(const char* name, char** value) {
  wchar_t* wide;
  int rc = wide_value(name, &wide);
  *value = NULL;
  if (rc != RT_OK) {
    return rc;
  }
  rc = rt_utf8_from_utf16((const uint16_t*)wide, wcslen(wide), value);
  free(wide);
  return rc;
}

int rt_putenv_text(const char* assignment) {
  const char* eq = strchr(assignment, '=');
  wchar_t* wide;
  int rc;
  if (!eq || eq == assignment) {
    return RT_REFUSED;
  }
  rc = rt_wide_from_text(assignment, &wide);
  if (rc != RT_OK) {
    return rc == RT_NOT_TEXT ? RT_REFUSED : RT_NO_MEMORY;
  }
  // msvcrt keeps a copy of its own.
  rc = _wputenv(wide);
  free(wide);
  if (rc == 0) {
    forget_kept(assignment, (size_t)(eq - assignment));
  }
  restore_kept();
  return rc == 0 ? RT_OK : RT_REFUSED;
}

int rt_getenv_text_into(const char* name, char* buf, size_t size) {
  wchar_t wname[64];
  wchar_t wide[RT_PATH_MAX];
  size_t len = strlen(name);
  DWORD got;
  int n;
  buf[0] = '\0';
  if (len == 0 || len >= 64) {
    return RT_UNSET;
  }
  for (size_t i = 0; i <= len; i++) {
    wname[i] = (unsigned char)name[i];
  }
  SetLastError(0);
  got = GetEnvironmentVariableW(wname, wide, RT_PATH_MAX);
  if (got == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    return RT_UNSET;
  }
  if (got >= RT_PATH_MAX) {
    return RT_NOT_TEXT;
  }
  if (got == 0) {
    return RT_OK;
  }
  n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, (int)got, buf,
                          (int)size - 1, NULL, NULL);
  if (n <= 0) {
    buf[0] = '\0';
    return RT_NOT_TEXT;
  }
  buf[n] = '\0';
  return RT_OK;
}

// The runtime's initial environment table, exported by msvcrt as data.
extern "C" __declspec(dllimport) char** __initenv;

void rt_publish_environment(void) {
  __initenv = _environ;
}
