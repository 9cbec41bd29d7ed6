// Where the running program's settings and classes lie: the settings
// directory derived from the executable's path, and the extended class path.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/beside.h"
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
  size_t keep;
  int why = rt_program_folder(&exe, &keep);
  if (size > 0) {
    buf[0] = '\0';
  }
  if (why == RT_OK && tav_base_dir(exe, buf, size)) {
    why = RT_PATH_TOO_LONG;
  }
  if (why == RT_OK) {
    rt_trace(TAV_TRACE_NAME, "executable=%q settings directory=%q", exe, buf);
  } else if (exe) {
    rt_trace(TAV_TRACE_NAME, "executable=%q no settings directory reason=%s",
             exe, rt_outcome_word(why));
  } else {
    rt_trace(TAV_TRACE_NAME, "executable unknown reason=%s",
             rt_outcome_word(why));
  }
  free(exe);
  return why == RT_OK ? 0 : 1;
}

char* tav_extend_classpath(const char* value, const char* base) {
  size_t vlen;
  size_t blen = strlen(base);
  size_t beside;
  char* out;
  if (!value) {
    value = ".";
  }
  vlen = strlen(value);
  // The classes folder and classes.zip, after a separator; nothing beside
  // an empty base.
  beside = blen == 0 ? 0 : rt_beside_length(blen, 2) + 1;
  if (vlen > SIZE_MAX - 1 - beside) {
    return NULL;
  }
  out = (char*)malloc(vlen + beside + 1);
  if (!out) {
    return NULL;
  }
  memcpy(out, value, vlen + 1);
  if (blen > 0) {
    memcpy(out + vlen, RT_LIST_SEP, 1);
    rt_put_beside(out + vlen + 1, base, blen, 2);
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
    return RT_NO_MEMORY;
  }
  memcpy(dir, base, len - up);
  dir[len - up] = '\0';
  rc = rt_code_page_path(dir, "", cp);
  free(dir);
  if (rc == RT_NO_MEMORY) {
    return rc;
  }
  out = (char*)malloc(strlen(*cp) + up + 1);
  if (!out) {
    free(*cp);
    *cp = NULL;
    return RT_NO_MEMORY;
  }
  memcpy(out, *cp, strlen(*cp));
  memcpy(out + strlen(*cp), kUp, up + 1);
  free(*cp);
  *cp = out;
  return rc;
}
