// Reading a settings file line by line: the byte-order mark that tells its
// encoding, and UTF-16 units turned into UTF-8.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "rt/grow.h"
#include "rt/utf.h"
#include "tavcore/lines.h"

enum { CTRL_Z = 26 };

// The line buffer's first capacity; it doubles from there.
static const size_t kLineStart = 128;

// Makes room for a byte at reader->line[len]. Returns 0, or 1 when the
// buffer cannot grow (it then stays as it was).
static int make_room(TavReader* reader, size_t len) {
  return len < SIZE_MAX &&
                 rt_grow((void**)&reader->line, &reader->line_cap, len + 1, 1,
                         kLineStart) == RT_OK
             ? 0
             : 1;
}

// Reads the next character of the file: a byte, or a UTF-16 unit of the
// encoding; EOF at the end of the file, a read error, or half a unit.
static int next_char(FILE* file, TavEncoding enc) {
  int a = fgetc(file);
  int b;
  if (enc != TAV_UTF16LE && enc != TAV_UTF16BE) {
    return a;
  }
  b = a == EOF ? EOF : fgetc(file);
  if (b == EOF) {
    return EOF;
  }
  return enc == TAV_UTF16LE ? a | b << 8 : a << 8 | b;
}

int tav_read_line(TavReader* reader, FILE* file, TavEncoding enc) {
  size_t len = 0;
  int kept = 0;
  int high = 0;
  int whole = 1;
  for (;;) {
    int c = next_char(file, enc);
    if (c == 0 || c == '\r') {
      continue;
    }
    if (c == '\n') {
      break;
    }
    if (c == CTRL_Z || c == EOF) {
      if (!kept) {
        return RT_END;
      }
      break;
    }
    kept = 1;
    // Room for the longest UTF-8 form of one character.
    if (make_room(reader, len + 3)) {
      return RT_NO_MEMORY;
    }
    if (enc != TAV_UTF16LE && enc != TAV_UTF16BE) {
      reader->line[len++] = (char)c;
      continue;
    }
    if (high && (c < RT_LOW_SURROGATE || c >= RT_SURROGATE_END)) {
      whole = 0;
    }
    if (c >= RT_HIGH_SURROGATE && c < RT_LOW_SURROGATE) {
      high = c;
    } else if (c >= RT_LOW_SURROGATE && c < RT_SURROGATE_END) {
      if (high) {
        uint32_t cp = 0x10000 + ((uint32_t)(high - RT_HIGH_SURROGATE) << 10) +
                      (uint32_t)(c - RT_LOW_SURROGATE);
        len += rt_utf8_encode(cp, reader->line + len);
      } else {
        whole = 0;
      }
      high = 0;
    } else {
      len += rt_utf8_encode((uint32_t)c, reader->line + len);
      high = 0;
    }
  }
  if (make_room(reader, len)) {
    return RT_NO_MEMORY;
  }
  reader->line[len] = '\0';
  return whole && !high ? RT_OK : RT_NOT_TEXT;
}

TavEncoding tav_read_mark(FILE* file) {
  unsigned char mark[3] = {0, 0, 0};
  size_t got = fread(mark, 1, sizeof mark, file);
  if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
    return TAV_UTF8;
  }
  if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
    fseek(file, 2, SEEK_SET);
    return TAV_UTF16LE;
  }
  if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
    fseek(file, 2, SEEK_SET);
    return TAV_UTF16BE;
  }
  fseek(file, 0, SEEK_SET);
  return TAV_CODE_PAGE;
}
