// The settings file reader: what one read of a settings file owns, the
// reading of its lines in the file's encoding, and the read itself.
#ifndef TAVCORE_READER_H_
#define TAVCORE_READER_H_

#include <stddef.h>
#include <stdio.h>

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
// and including its last "\", "/" or ":"): sets reader's dir and at_p, with no line buffer and
// no line handled. Returns 0, or 1 when out of memory, with reader holding
// nothing. Borrowed; not kept after the call.
int tav_reader_begin(TavReader* reader, const char* directory);

// Releases everything that reader holds; it then holds nothing.
void tav_reader_end(TavReader* reader);

// How a settings file's text is written, told by its byte-order mark:
// code-page text without one.
enum TavEncoding { TAV_CODE_PAGE, TAV_UTF8, TAV_UTF16LE, TAV_UTF16BE };

// Reads the byte-order mark at the start of file, if any, and leaves the
// file at the first byte after it.
TavEncoding tav_read_mark(FILE* file);

// What tav_read_line found.
enum {
  TAV_LINE_READ,       // a line, in reader->line
  TAV_LINE_NONE,       // the end of the reading
  TAV_LINE_NO_MEMORY,  // the line buffer cannot grow; it stays as it was
  TAV_LINE_NOT_TEXT    // a line, holding half a UTF-16 surrogate pair
};

// Reads the next line of file, written in enc, into reader->line, UTF-16
// turned into UTF-8. NUL and CR are dropped; a line feed ends a line;
// Ctrl-Z, the end of the file and a read error end the line when it holds a
// kept character and otherwise end the reading. Returns a TAV_LINE_ result.
int tav_read_line(TavReader* reader, FILE* file, TavEncoding enc);

// Reads the file name in the directory part of directory (environment text,
// opened by its exact name) and puts every
// assignment of its [Environment] section into the environment. A line
// whose expansion would pass TAV_MAX_EXPANDED_LINE bytes is skipped whole,
// and reading goes on with the next. The file must be a regular one: a
// FIFO, a device or a directory is treated as missing. Everything the read
// holds is released when it ends. Returns 0 when the file was read to its
// end, whatever it held; 1 when it cannot be opened (nothing has changed)
// or when memory ran out (reading stopped there; earlier lines have been
// applied). Borrowed; not kept after the call. Not to be entered from two
// threads, as the environment is not.
int tav_load_settings(const char* directory, const char* file_name);

#endif  // TAVCORE_READER_H_
