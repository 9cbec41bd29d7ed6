// The settings directory of one read, and what %@P% stands for in it.
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/reader.h"

int tav_reader_begin(TavReader* reader, const char* directory) {
  size_t keep = rt_path_dir_length(directory, kRtDirSeps);
  size_t trimmed;
  char* dir;
  char* value;
  reader->dir = NULL;
  reader->at_p = NULL;
  reader->at_p_cp = NULL;
  reader->line = NULL;
  reader->line_cap = 0;
  reader->line_number = 0;
  dir = (char*)malloc(keep + 1);
  if (!dir) {
    return 1;
  }
  memcpy(dir, directory, keep);
  dir[keep] = '\0';
  trimmed = rt_path_trimmed_length(dir, RT_DIR_SEP);
  value = (char*)malloc(trimmed + 1);
  if (!value) {
    free(dir);
    return 1;
  }
  memcpy(value, dir, trimmed);
  value[trimmed] = '\0';
  reader->dir = dir;
  reader->at_p = value;
  return 0;
}

void tav_reader_end(TavReader* reader) {
  free(reader->dir);
  free(reader->at_p);
  free(reader->at_p_cp);
  free(reader->line);
  reader->dir = NULL;
  reader->at_p = NULL;
  reader->at_p_cp = NULL;
  reader->line = NULL;
  reader->line_cap = 0;
}
