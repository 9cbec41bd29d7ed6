// The settings directory that %@P% stands for while a file is read.
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "tavcore/settings.h"

// The directory part of the directory being read; absent between reads.
static char* settings_dir = NULL;

int tav_set_settings_dir(const char* directory) {
  size_t keep = rt_path_dir_length(directory, kRtDirSeps);
  char* dir;
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
