// The settings file reader: every assignment of the [Environment] section,
// with its references expanded, goes into the process environment.
#include "tavcore/reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "tavcore/expand.h"
#include "tavcore/lines.h"
#include "tavcore/tavcore.h"
#include "tavcore/trace_name.h"

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

static void trace_not_applied(const TavReader* reader, int why,
                              const char* text) {
  rt_trace(TAV_TRACE_NAME, "line %d not applied reason=%s text=%q",
           reader->line_number, rt_outcome_word(why), text);
}

// Traces what the environment made of the assignment text, whose "=" (if
// any) is at eq; the text is split there for the trace and mended after.
static void trace_assignment(const TavReader* reader, char* text, char* eq,
                             int put) {
  if (!rt_trace_on()) {
    return;
  }
  if (put != RT_OK) {
    trace_not_applied(reader, put, text);
    return;
  }
  *eq = '\0';
  if (eq[1] == '\0') {
    rt_trace(TAV_TRACE_NAME, "line %d removed name=%q", reader->line_number,
             text);
  } else {
    rt_trace(TAV_TRACE_NAME, "line %d set name=%q value=%q",
             reader->line_number, text, eq + 1);
  }
  *eq = '=';
}

// Puts one assignment into the environment: the name upper-cased and white
// space around the "=" and at the end removed. The text, environment text or
// with code_page bytes of the code page, is changed in place. Returns 0, or
// 1 when out of memory.
static int apply_assignment(const TavReader* reader, char* text,
                            int code_page) {
  char* end = text + strlen(text);
  char* eq;
  int put;
  while (end > text && is_space(end[-1])) {
    end--;
  }
  *end = '\0';
  eq = strchr(text, '=');
  tav_upper(text, eq ? eq : end, code_page);
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
  if (code_page) {
    // Bytes that are no text in the code page go to the runtime's table as
    // they are, never turned into characters; the table keeps the copy.
    char* copy = strdup(text);
    put = !copy                  ? RT_NO_MEMORY
          : rt_putenv(copy) == 0 ? RT_OK
                                 : RT_REFUSED;
  } else {
    // On Windows in UTF-16, with exactly the characters of the line.
    put = rt_putenv_text(text);
  }
  if (put == RT_NO_MEMORY) {
    trace_not_applied(reader, put, text);
    return 1;
  }
  trace_assignment(reader, text, eq, put);
  return 0;
}

// Handles one line of environment text, or with code_page of code-page text
// that is not all text in the code page: expanded first, then a comment, a
// section header or an assignment. A line that expands past the limit, or
// takes a value that has no exact form, is skipped whole; but with
// as_bytes_next, a line of environment text that takes such a value is
// left alone for its caller to handle as code-page text. Returns 0; 1 when
// out of memory; 2 when so left.
static int handle_line(TavReader* reader, const char* line, int code_page,
                       int as_bytes_next, int* in_section) {
  char* text;
  char* p;
  int rc = code_page ? tav_expand_code_page(line, reader->at_p_cp,
                                            TAV_MAX_EXPANDED_LINE, &text)
                     : tav_expand(line, 1, reader->at_p,
                                  TAV_MAX_EXPANDED_LINE, &text);
  if (rc == RT_NOT_TEXT && as_bytes_next) {
    return 2;
  }
  reader->line_number++;
  if (rc == RT_NO_MEMORY) {
    trace_not_applied(reader, rc, line);
    return 1;
  }
  if (rc != RT_OK) {
    trace_not_applied(reader, rc, line);
    return 0;
  }
  p = text;
  while (is_space(*p)) {
    p++;
  }
  if (*p == '\0' || *p == ';') {
    // A comment.
    trace_not_applied(reader, *p ? RT_COMMENT : RT_EMPTY, text);
  } else if (*p == '[') {
    *in_section = opens_environment(p + 1);
    rt_trace(TAV_TRACE_NAME, "line %d section %q %s", reader->line_number, p,
             *in_section ? "on" : "off");
  } else if (*in_section) {
    rc = apply_assignment(reader, p, code_page);
  } else {
    trace_not_applied(reader, RT_OUTSIDE_SECTION, text);
  }
  free(text);
  return rc;
}

// Handles line, code-page text, as its bytes, with %@P% in the code page.
// Returns 0, or 1 when out of memory.
static int handle_as_bytes(TavReader* reader, const char* line,
                           int* in_section) {
  if (!reader->at_p_cp &&
      rt_code_page_from_text(reader->at_p, "", &reader->at_p_cp) ==
          RT_NOT_IN_CODE_PAGE) {
    free(reader->at_p_cp);
    reader->at_p_cp = NULL;
  }
  return handle_line(reader, line, 1, 0, in_section);
}

// Handles the line just read in the encoding enc: a line of code-page text
// is turned into environment text first. One whose bytes are not all text
// in the code page keeps its bytes and is handled as code-page text, with
// %@P% in the code page. Returns 0, or 1 when out of memory.
static int handle_read_line(TavReader* reader, TavEncoding enc,
                            int* in_section) {
  char* line = reader->line;
  char* text = line;
  int rc;
  if (enc == TAV_CODE_PAGE) {
    switch (rt_text_from_code_page(line, strlen(line), &text)) {
      case RT_NO_MEMORY:
        reader->line_number++;
        trace_not_applied(reader, RT_NO_MEMORY, line);
        return 1;
      case RT_NOT_TEXT:
        return handle_as_bytes(reader, line, in_section);
    }
  }
  // A line of code-page text that takes the bytes an earlier line set is
  // handled as those bytes are.
  rc = handle_line(reader, text, 0, text != line, in_section);
  if (text != line) {
    free(text);
  }
  return rc == 2 ? handle_as_bytes(reader, line, in_section) : rc;
}


int tav_load_settings(const char* directory, const char* file_name) {
  TavReader reader;
  char* path = NULL;
  FILE* file = NULL;
  int in_section = 0;
  int got = RT_NO_MEMORY;
  int rc = 1;
  int why;
  TavEncoding enc;

  if (tav_reader_begin(&reader, directory) != RT_OK) {
    rt_trace(TAV_TRACE_NAME, "settings not read reason=%s",
             rt_outcome_word(RT_NO_MEMORY));
    return 1;
  }
  path = rt_path_join(reader.dir, file_name);
  if (!path) {
    rt_trace(TAV_TRACE_NAME, "settings not read reason=%s",
             rt_outcome_word(RT_NO_MEMORY));
    goto fail;
  }
  why = rt_open_regular(path, &file);
  if (why != RT_OK) {
    rt_trace(TAV_TRACE_NAME, "settings file=%q not read reason=%s", path,
             rt_outcome_word(why));
    goto fail;
  }
  rt_trace(TAV_TRACE_NAME, "settings file=%q opened", path);
  enc = tav_read_mark(file);
  if (enc != TAV_CODE_PAGE) {
    rt_trace(TAV_TRACE_NAME, "settings file=%q encoding=%s", path,
             enc == TAV_UTF8      ? "utf-8"
             : enc == TAV_UTF16LE ? "utf-16le"
                                  : "utf-16be");
  }
  while ((got = tav_read_line(&reader, file, enc)) == RT_OK ||
         got == RT_NOT_TEXT) {
    if (got == RT_NOT_TEXT) {
      reader.line_number++;
      trace_not_applied(&reader, RT_NOT_TEXT, reader.line);
    } else if (handle_read_line(&reader, enc, &in_section)) {
      got = RT_NO_MEMORY;
      break;
    }
  }
  rc = got == RT_END ? 0 : 1;
  if (rc) {
    rt_trace(TAV_TRACE_NAME, "settings file=%q stopped reason=%s after %d lines",
             path, rt_outcome_word(got), reader.line_number);
  } else {
    rt_trace(TAV_TRACE_NAME, "settings file=%q read after %d lines", path,
             reader.line_number);
  }

fail:
  if (file) {
    fclose(file);
  }
  free(path);
  tav_reader_end(&reader);
  return rc;
}
