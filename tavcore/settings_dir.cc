// The settings directory that %@P% stands for while a file is read, and the
// joining of a directory with a file name.
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "tavcore/settings.h"

// The directory part of the directory being read; absent between reads.
static char* settings_dir = NULL;

static int is_dir_sep(char c) {
  return c == '\\' || c == '/' || c == ':';
}

int tav_set_settings_dir(const char* directory) {
  size_t keep = 0;
  char* dir;
  for (size_t i = 0; directory[i] != '\0'; i++) {
    if (is_dir_sep(directory[i])) {
      keep = i + 1;
    }
  }
  dir = (char*)malloc(keep + 1);
  if (!dir) {
    return 1;
  }
  memcpy(dir, directory, keep);
  dir[keep] = '\0';
  free(settings_dir);
  settings_dir = dir;
  return 0;
}

void tav_release_settings_dir(void) {
  free(settings_dir);
  settings_dir = NULL;
}

const char* tav_settings_dir(void) {
  return settings_dir ? settings_dir : "";
}

char* tav_join(const char* directory, const char* name) {
  size_t dlen = strlen(directory);
  size_t nlen = strlen(name);
  size_t sep = dlen > 0 && !is_dir_sep(directory[dlen - 1]) ? 1 : 0;
  char* path = (char*)malloc(dlen + sep + nlen + 1);
  if (!path) {
    return NULL;
  }
  memcpy(path, directory, dlen);
  if (sep) {
    path[dlen] = RT_DIR_SEP[0];
  }
  memcpy(path + dlen + sep, name, nlen + 1);
  return path;
}
