// The running program's own folder and the paths beside it.
#include "rt/beside.h"

#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"

// What follows the folder in each entry beside it.
static const char* const kBeside[RT_BESIDE_COUNT] = {
    RT_DIR_SEP ".." RT_DIR_SEP "classes",
    RT_DIR_SEP ".." RT_DIR_SEP "lib" RT_DIR_SEP "classes.zip",
    RT_DIR_SEP ".." RT_DIR_SEP "lib" RT_DIR_SEP "rt.jar",
};

int rt_program_folder(char** exe, size_t* keep) {
  int rc = rt_exe_path(exe);
  *keep = 0;
  if (rc != RT_OK) {
    return rc;
  }
  *keep = rt_path_dir_length(*exe, RT_DIR_SEP);
  return *keep == 0 ? RT_NO_SEPARATOR : RT_OK;
}

size_t rt_beside_length(size_t dir_len, int count) {
  size_t len = 0;
  for (int i = 0; i < count; i++) {
    len += (i > 0 ? sizeof RT_LIST_SEP - 1 : 0) + dir_len + strlen(kBeside[i]);
  }
  return len;
}

char* rt_put_beside(char* out, const char* dir, size_t dir_len, int count) {
  for (int i = 0; i < count; i++) {
    size_t n = strlen(kBeside[i]);
    if (i > 0) {
      memcpy(out, RT_LIST_SEP, sizeof RT_LIST_SEP - 1);
      out += sizeof RT_LIST_SEP - 1;
    }
    memcpy(out, dir, dir_len);
    memcpy(out + dir_len, kBeside[i], n);
    out += dir_len + n;
  }
  *out = '\0';
  return out;
}
