// The stand-in VM library: a dry run that shows exactly the launch vector it
// was handed, and returns a status chosen by the caller's environment.
//
// JAVAI_G_RECORD  when set, the record is appended to this file instead of
//                 being written to standard error.
// JAVAI_G_STATUS  the status java_main returns (default 0).
// JAVAI_G_ENV     names of environment variables, separated by ",", whose
//                 values are added to the record; a name written with a
//                 leading "+" is recorded in UTF-8, as the UTF-16
//                 environment holds it on Windows (elsewhere as it is).
//
// The record, one line each, as the stand-in interpreter writes its own:
// "vector count=<count>", "arg " and each entry as a value, then
// "env <NAME>=" and the value, or "env <NAME> unset". A value is written as
// the trace writes one (rt/escape.h).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "rt/escape.h"
#include "vmstub/javai_g.h"

// The value of name in UTF-8 from the UTF-16 environment on Windows, the
// value itself elsewhere; null when unset. The caller frees it with free().
static char* utf8_value(const char* name) {
#ifdef _WIN32
  wchar_t wname[256];
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wname,
                              256);
  DWORD need = n > 0 ? GetEnvironmentVariableW(wname, NULL, 0) : 0;
  wchar_t* wide = need ? (wchar_t*)calloc(need, sizeof(wchar_t)) : NULL;
  char* out = NULL;
  if (wide && GetEnvironmentVariableW(wname, wide, need) < need) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    out = bytes > 0 ? (char*)malloc((size_t)bytes) : NULL;
    if (out) {
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, bytes, NULL, NULL);
    }
  }
  free(wide);
  return out;
#else
  const char* value = getenv(name);
  return value ? strdup(value) : NULL;
#endif
}

static void put_env(FILE* out, const char* names) {
  char name[256];
  while (*names) {
    size_t len = strcspn(names, ",");
    if (len > 0 && len < sizeof name) {
      memcpy(name, names, len);
      name[len] = '\0';
      char* value = name[0] == '+' ? utf8_value(name + 1) : NULL;
      const char* plain = name[0] == '+' ? value : getenv(name);
      if (plain) {
        fprintf(out, "env %s=", name);
        rt_put_escaped(out, plain, RT_ESCAPE_VALUE);
        fputc('\n', out);
      } else {
        fprintf(out, "env %s unset\n", name);
      }
      free(value);
    }
    names += len;
    if (*names == ',') {
      names++;
    }
  }
}

int java_main(int count, char** vector) {
  const char* path = getenv("JAVAI_G_RECORD");
  const char* status = getenv("JAVAI_G_STATUS");
  const char* names = getenv("JAVAI_G_ENV");
  FILE* out = stderr;
  if (path && *path) {
    out = fopen(path, "ab");
    if (!out) {
      fprintf(stderr, "javai_g: cannot open %s\n", path);
      return 99;
    }
  }
  fprintf(out, "vector count=%d\n", count);
  for (int i = 0; i < count; i++) {
    fputs("arg ", out);
    rt_put_escaped(out, vector[i], RT_ESCAPE_VALUE);
    fputc('\n', out);
  }
  if (names) {
    put_env(out, names);
  }
  if (out != stderr) {
    fclose(out);
  } else {
    fflush(out);
  }
  return status ? atoi(status) : 0;
}

void sysExit(int status) {
  fflush(NULL);
  exit(status);
}
