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

int tav_base_dir(const char* exe_path, char* buf, size_t size) {
  static const char kUp[] = ".." RT_DIR_SEP ".." RT_DIR_SEP "bin" RT_DIR_SEP;
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
  char exe[RT_PATH_MAX];
  int why = rt_exe_path(exe, sizeof exe);
  if (why) {
    if (size > 0) {
      buf[0] = '\0';
    }
    rt_trace(TAV_TRACE_NAME, "executable unknown reason=%s",
             rt_exe_path_reason(why));
    return 1;
  }
  if (tav_base_dir(exe, buf, size)) {
    rt_trace(TAV_TRACE_NAME,
             "executable=%q no settings directory "
             "reason=no-separator-or-too-long",
             exe);
    return 1;
  }
  rt_trace(TAV_TRACE_NAME, "executable=%q settings directory=%q", exe, buf);
  return 0;
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
