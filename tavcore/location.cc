// Where the running program's settings and classes lie: the settings
// directory derived from the executable's path, and the extended class path.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "tavcore/location.h"
#include "tavcore/trace_name.h"

static const char kUp[] = ".." RT_DIR_SEP ".." RT_DIR_SEP "bin" RT_DIR_SEP;

int tav_base_dir(const char* exe_path, char* buf, size_t size) {
  size_t keep = rt_path_dir_length(exe_path, RT_DIR_SEP);
  if (size > 0) {
    buf[0] = '\0';
  }
  if (keep == 0 || keep + sizeof kUp > size) {
    return 1;
  }
  memcpy(buf, exe_path, keep);
  memcpy(buf + keep, kUp, sizeof kUp);
  return 0;
}

int tav_program_base_dir(char* buf, size_t size) {
  char* exe;
  int why = rt_exe_path(&exe);
  if (size > 0) {
    buf[0] = '\0';
  }
  if (why) {
    rt_trace(TAV_TRACE_NAME, "executable unknown reason=%s",
             rt_exe_path_reason(why));
    return 1;
  }
  why = tav_base_dir(exe, buf, size);
  if (why) {
    rt_trace(TAV_TRACE_NAME,
             "executable=%q no settings directory "
             "reason=no-separator-or-too-long",
             exe);
  } else {
    rt_trace(TAV_TRACE_NAME, "executable=%q settings directory=%q", exe, buf);
  }
  free(exe);
  return why;
}

char* tav_extend_classpath(const char* value, const char* base) {
  static const char kFormat[] =
      "%s" RT_LIST_SEP "%s" RT_DIR_SEP ".." RT_DIR_SEP "classes" RT_LIST_SEP
      "%s" RT_DIR_SEP ".." RT_DIR_SEP "lib" RT_DIR_SEP "classes.zip";
  size_t vlen;
  size_t blen = strlen(base);
  size_t size;
  char* out;
  if (!value) {
    value = ".";
  }
  vlen = strlen(value);
  if (blen == 0) {
    size = vlen + 1;
  } else {
    // The fixed text of the format is well below the 64 bytes added.
    if (vlen > SIZE_MAX - 2 * blen - 64) {
      return NULL;
    }
    size = vlen + 2 * blen + 64;
  }
  out = (char*)malloc(size);
  if (!out) {
    return NULL;
  }
  if (blen == 0) {
    memcpy(out, value, size);
  } else {
    snprintf(out, size, kFormat, value, base, base);
  }
  return out;
}

int tav_base_in_code_page(const char* base, char** cp) {
  size_t len = strlen(base);
  size_t up = sizeof kUp - 1;
  char* dir;
  char* out;
  int rc;
  *cp = NULL;
  if (len < up || strcmp(base + len - up, kUp) != 0) {
    return rt_code_page_from_text(base, "", cp);
  }
  // The short name is of the program's own folder, which exists; the path
  // up from it follows as it stands.
  dir = (char*)malloc(len - up + 1);
  if (!dir) {
    return RT_TEXT_NO_MEMORY;
  }
  memcpy(dir, base, len - up);
  dir[len - up] = '\0';
  rc = rt_code_page_path(dir, "", cp);
  free(dir);
  if (rc == RT_TEXT_NO_MEMORY) {
    return rc;
  }
  out = (char*)malloc(strlen(*cp) + up + 1);
  if (!out) {
    free(*cp);
    *cp = NULL;
    return RT_TEXT_NO_MEMORY;
  }
  memcpy(out, *cp, strlen(*cp));
  memcpy(out + strlen(*cp), kUp, up + 1);
  free(*cp);
  *cp = out;
  return rc;
}
