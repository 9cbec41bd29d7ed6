// The settings directory that %@P% stands for while a file is read.
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/settings.h"

// The directory part of the directory being read, and what %@P% gives for
// it in environment text; both absent between reads.
static char* settings_dir = NULL;
static char* settings_value = NULL;

int tav_set_settings_dir(const char* directory) {
  size_t keep = rt_path_dir_length(directory, kRtDirSeps);
  size_t trimmed;
  char* dir;
  char* plain;
  char* value;
  dir = (char*)malloc(keep + 1);
  if (!dir) {
    return 1;
  }
  memcpy(dir, directory, keep);
  dir[keep] = '\0';
  // The separator is trimmed on the code-page text, whose characters the
  // lead-byte test reads.
  trimmed = rt_path_trimmed_length(dir, RT_DIR_SEP);
  plain = (char*)malloc(trimmed + 1);
  value = NULL;
  if (plain) {
    memcpy(plain, dir, trimmed);
    plain[trimmed] = '\0';
    value = rt_text_from_code_page(plain, trimmed);
    if (value != plain) {
      free(plain);
    }
  }
  if (!value) {
    free(dir);
    return 1;
  }
  tav_release_settings_dir();
  settings_dir = dir;
  settings_value = value;
  return 0;
}

void tav_release_settings_dir(void) {
  free(settings_dir);
  free(settings_value);
  settings_dir = NULL;
  settings_value = NULL;
}

const char* tav_settings_dir(void) {
  return settings_dir ? settings_dir : "";
}

const char* tav_settings_value(void) {
  return settings_value ? settings_value : "";
}
