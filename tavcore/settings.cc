// The settings file reader: every assignment of the [Environment] section,
// with its references expanded, goes into the process environment.
#include "tavcore/settings.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "rt/utf.h"
#include "tavcore/tavcore.h"

enum { CTRL_Z = 26 };

// How the file's text is written, told by its byte-order mark: code-page
// text without one.
enum Encoding { CODE_PAGE, UTF8, UTF16LE, UTF16BE };

// The line buffer's first capacity; it doubles from there.
static const size_t kLineStart = 128;

// What read_line found: a line, the end, no memory, or a line that holds a
// UTF-16 surrogate without its other half.
enum { LINE_READ, LINE_NONE, LINE_NO_MEMORY, LINE_NOT_TEXT };

// The line buffer, shared by all reads; absent between reads.
static char* line_buf = NULL;
static size_t line_cap = 0;

// The number of the line being handled, for the trace.
static int trace_line = 0;

// White space and letters or digits are ASCII's own: in UTF-8 and in
// double-byte code pages a byte of a longer character may look like a
// blank or a letter of another locale.
static int is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

static int is_alnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

// Makes room for a byte at line_buf[len], doubling the buffer when the line
// has reached its capacity, so that a line of n bytes costs about log2(n)
// reallocations. Returns 0, or 1 when it cannot grow (the buffer then stays
// as it was).
static int make_room(size_t len) {
  size_t cap;
  char* grown;
  if (len < line_cap) {
    return 0;
  }
  if (line_cap > SIZE_MAX / 2) {
    return 1;
  }
  cap = line_cap < kLineStart ? kLineStart : line_cap * 2;
  grown = (char*)realloc(line_buf, cap);
  if (!grown) {
    return 1;
  }
  line_buf = grown;
  line_cap = cap;
  return 0;
}

// Reads the next character of the file: a byte, or a UTF-16 unit of the
// encoding; EOF at the end of the file, a read error, or half a unit.
static int next_char(FILE* file, Encoding enc) {
  int a = fgetc(file);
  int b;
  if (enc != UTF16LE && enc != UTF16BE) {
    return a;
  }
  b = a == EOF ? EOF : fgetc(file);
  if (b == EOF) {
    return EOF;
  }
  return enc == UTF16LE ? a | b << 8 : a << 8 | b;
}

// Reads the next line into the line buffer, UTF-16 turned into UTF-8. NUL
// and CR are dropped; a line feed ends a line; Ctrl-Z, the end of the file
// and a read error end the line when it holds a kept character and
// otherwise end the reading.
static int read_line(FILE* file, Encoding enc) {
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
        return LINE_NONE;
      }
      break;
    }
    kept = 1;
    // Room for the longest UTF-8 form of one character.
    if (make_room(len + 3)) {
      return LINE_NO_MEMORY;
    }
    if (enc != UTF16LE && enc != UTF16BE) {
      line_buf[len++] = (char)c;
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
        len += rt_utf8_encode(cp, line_buf + len);
      } else {
        whole = 0;
      }
      high = 0;
    } else {
      len += rt_utf8_encode((uint32_t)c, line_buf + len);
      high = 0;
    }
  }
  if (make_room(len)) {
    return LINE_NO_MEMORY;
  }
  line_buf[len] = '\0';
  return whole && !high ? LINE_READ : LINE_NOT_TEXT;
}

// Reads the byte-order mark at the start of the file, if any, and leaves
// the file at the first byte after it.
static Encoding read_mark(FILE* file) {
  unsigned char mark[3] = {0, 0, 0};
  size_t got = fread(mark, 1, sizeof mark, file);
  if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
    return UTF8;
  }
  if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
    fseek(file, 2, SEEK_SET);
    return UTF16LE;
  }
  if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
    fseek(file, 2, SEEK_SET);
    return UTF16BE;
  }
  fseek(file, 0, SEEK_SET);
  return CODE_PAGE;
}

// Tells whether the header whose text follows the "[" opens the Environment
// section: white space, exactly the letters and digits of the name, then "]"
// after any white space.
static int opens_environment(const char* p) {
  static const char kName[] = "Environment";
  const char* start;
  while (is_space(*p)) {
    p++;
  }
  start = p;
  while (is_alnum(*p)) {
    p++;
  }
  if ((size_t)(p - start) != sizeof kName - 1 ||
      !tav_same_text(start, kName, sizeof kName - 1)) {
    return 0;
  }
  while (is_space(*p)) {
    p++;
  }
  return *p == ']';
}

static void trace_not_applied(const char* reason, const char* text) {
  rt_trace(TAV_TRACE_NAME, "line %d not applied reason=%s text=%q", trace_line,
           reason, text);
}

// Traces what the environment made of the assignment text, whose "=" (if
// any) is at eq; the text is split there for the trace and mended after.
static void trace_assignment(char* text, char* eq, int putenv_rc) {
  if (!rt_trace_on()) {
    return;
  }
  if (putenv_rc != 0) {
    trace_not_applied("refused", text);
    return;
  }
  *eq = '\0';
  if (eq[1] == '\0') {
    rt_trace(TAV_TRACE_NAME, "line %d removed name=%q", trace_line, text);
  } else {
    rt_trace(TAV_TRACE_NAME, "line %d set name=%q value=%q", trace_line, text,
             eq + 1);
  }
  *eq = '=';
}

// Puts one assignment into the environment: the name upper-cased and white
// space around the "=" and at the end removed. The text is changed in place.
// Returns 0, or 1 when out of memory.
static int apply_assignment(char* text) {
  char* end = text + strlen(text);
  char* eq;
  int putenv_rc;
  while (end > text && is_space(end[-1])) {
    end--;
  }
  *end = '\0';
  eq = strchr(text, '=');
  tav_upper(text, eq ? eq : end);
  if (eq) {
    char* value = eq + 1;
    char* name_end = eq;
    while (is_space(*value)) {
      value++;
    }
    memmove(eq + 1, value, strlen(value) + 1);
    while (name_end > text && is_space(name_end[-1])) {
      name_end--;
    }
    memmove(name_end, eq, strlen(eq) + 1);
    eq = name_end;
  }
  // On Windows in UTF-16, with exactly the characters of the line.
  putenv_rc = rt_putenv_text(text);
  if (putenv_rc == -2) {
    trace_not_applied("out-of-memory", text);
    return 1;
  }
  trace_assignment(text, eq, putenv_rc);
  return 0;
}

// Handles one line of environment text: expanded first, then a comment, a
// section header or an assignment. A line that expands past the limit, or
// takes a value that has no exact form, is skipped whole. Returns 0, or 1
// when out of memory.
static int handle_line(const char* line, int* in_section) {
  char* text;
  char* p;
  int rc = tav_expand(line, 1, TAV_MAX_EXPANDED_LINE, &text);
  trace_line++;
  if (rc == TAV_EXPAND_TOO_LARGE || rc == TAV_EXPAND_NOT_EXACT) {
    trace_not_applied(
        rc == TAV_EXPAND_TOO_LARGE ? "expands-past-limit" : "text-not-exact",
        line);
    return 0;
  }
  if (rc != TAV_EXPAND_OK) {
    trace_not_applied("out-of-memory", line);
    return 1;
  }
  p = text;
  while (is_space(*p)) {
    p++;
  }
  if (*p == '\0' || *p == ';') {
    // A comment.
    trace_not_applied(*p ? "comment" : "empty", text);
  } else if (*p == '[') {
    *in_section = opens_environment(p + 1);
    rt_trace(TAV_TRACE_NAME, "line %d section %q %s", trace_line, p,
             *in_section ? "on" : "off");
  } else if (*in_section) {
    rc = apply_assignment(p);
  } else {
    trace_not_applied("outside-section", text);
  }
  free(text);
  return rc;
}

// Handles one line as read in the encoding enc: a line of code-page text is
// turned into environment text first. Returns 0, or 1 when out of memory.
static int handle_read_line(char* line, Encoding enc, int* in_section) {
  char* text = line;
  int rc;
  if (enc == CODE_PAGE) {
    text = rt_text_from_code_page(line, strlen(line));
    if (!text) {
      trace_line++;
      trace_not_applied("out-of-memory", line);
      return 1;
    }
  }
  rc = handle_line(text, in_section);
  if (text != line) {
    free(text);
  }
  return rc;
}

// Traces why the settings file at path could not be opened.
static void trace_not_read(const char* path) {
  unsigned long size;
  const char* reason = "not-found";
  if (!rt_trace_on()) {
    return;
  }
  if (rt_file_size(path, &size) == 0) {
    reason = "unreadable";
  } else if (rt_exists(path)) {
    reason = "not-a-regular-file";
  }
  rt_trace(TAV_TRACE_NAME, "settings file=%q not read reason=%s", path, reason);
}

int tav_load_settings(const char* directory, const char* file_name) {
  char* path = NULL;
  FILE* file = NULL;
  int in_section = 0;
  int got = LINE_NO_MEMORY;
  int rc = 1;
  Encoding enc;

  trace_line = 0;
  if (tav_set_settings_dir(directory)) {
    rt_trace(TAV_TRACE_NAME, "settings not read reason=out-of-memory");
    return 1;
  }
  path = rt_path_join(tav_settings_dir(), file_name);
  if (!path) {
    rt_trace(TAV_TRACE_NAME, "settings not read reason=out-of-memory");
    goto fail;
  }
  file = rt_open_regular(path);
  if (!file) {
    trace_not_read(path);
    goto fail;
  }
  rt_trace(TAV_TRACE_NAME, "settings file=%q opened", path);
  enc = read_mark(file);
  if (enc != CODE_PAGE) {
    rt_trace(TAV_TRACE_NAME, "settings file=%q encoding=%s", path,
             enc == UTF8 ? "utf-8" : enc == UTF16LE ? "utf-16le" : "utf-16be");
  }
  while ((got = read_line(file, enc)) == LINE_READ || got == LINE_NOT_TEXT) {
    if (got == LINE_NOT_TEXT) {
      trace_line++;
      trace_not_applied("text-not-exact", line_buf);
    } else if (handle_read_line(line_buf, enc, &in_section)) {
      got = LINE_NO_MEMORY;
      break;
    }
  }
  rc = got == LINE_NONE ? 0 : 1;
  rt_trace(TAV_TRACE_NAME, "settings file=%q %s after %d lines", path,
           rc ? "stopped reason=out-of-memory" : "read", trace_line);

fail:
  free(line_buf);
  line_buf = NULL;
  line_cap = 0;
  if (file) {
    fclose(file);
  }
  free(path);
  tav_release_settings_dir();
  return rc;
}
