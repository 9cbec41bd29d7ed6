// Reading a settings file line by line: the byte-order mark that tells its
// encoding, and each line in environment text.
#ifndef TAVCORE_LINES_H_
#define TAVCORE_LINES_H_

#include <stdio.h>

#include "rt/outcome.h"
#include "tavcore/reading.h"

// How a settings file's text is written, told by its byte-order mark:
// code-page text without one.
enum TavEncoding { TAV_CODE_PAGE, TAV_UTF8, TAV_UTF16LE, TAV_UTF16BE };

// Reads the byte-order mark at the start of file, if any, and leaves the
// file at the first byte after it.
TavEncoding tav_read_mark(FILE* file);

// Reads the next line of file, written in enc, into reader->line, UTF-16
// turned into UTF-8. NUL and CR are dropped; a line feed ends a line;
// Ctrl-Z, the end of the file and a read error end the line when it holds a
// kept character and otherwise end the reading. Returns RT_OK with a line
// in reader->line; RT_NOT_TEXT with a line that holds half a UTF-16
// surrogate pair; RT_END at the end of the reading; RT_NO_MEMORY when the
// line buffer cannot grow (it stays as it was).
int tav_read_line(TavReader* reader, FILE* file, TavEncoding enc);

#endif  // TAVCORE_LINES_H_
