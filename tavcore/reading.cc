// What one read of a settings file holds, from its start to its end.
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/reading.h"

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
    return RT_NO_MEMORY;
  }
  memcpy(dir, directory, keep);
  dir[keep] = '\0';
  trimmed = rt_path_trimmed_length(dir, RT_DIR_SEP);
  value = (char*)malloc(trimmed + 1);
  if (!value) {
    free(dir);
    return RT_NO_MEMORY;
  }
  memcpy(value, dir, trimmed);
  value[trimmed] = '\0';
  reader->dir = dir;
  reader->at_p = value;
  return RT_OK;
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
