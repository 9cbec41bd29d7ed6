// What one read of a settings file holds: the folder it is read in, what
// %@P% stands for there, and the buffer of the line being handled.
#ifndef TAVCORE_READING_H_
#define TAVCORE_READING_H_

#include <stddef.h>

#include "rt/outcome.h"

// What one read of a settings file holds, from tav_reader_begin to
// tav_reader_end. The strings are the reader's own; null when it holds none.
struct TavReader {
  // The directory part of the directory being read, where the file lies.
  char* dir;
  // What %@P% stands for: dir without its one trailing separator, in
  // environment text (UTF-8 on Windows).
  char* at_p;
  // The line being handled, in a buffer of line_cap bytes that doubles as
  // lines need.
  char* line;
  size_t line_cap;
  // The number of the line being handled, for the trace.
  int line_number;
  // at_p as code-page text, once a line needs it; null until then, and
  // when the code page cannot hold it.
  char* at_p_cp;
};

// Starts a read in the directory part of directory, environment text (up to
// and including its last "\", "/" or ":"): sets reader's dir and at_p, with
// no line buffer and no line handled. Returns RT_OK, or RT_NO_MEMORY with
// reader holding nothing. Borrowed; not kept after the call.
int tav_reader_begin(TavReader* reader, const char* directory);

// Releases everything that reader holds; it then holds nothing.
void tav_reader_end(TavReader* reader);

#endif  // TAVCORE_READING_H_
