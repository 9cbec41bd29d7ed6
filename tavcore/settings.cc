// The settings file reader: every assignment of the [Environment] section,
// with its references expanded, goes into the process environment.
#include "tavcore/settings.h"

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "tavcore/tavcore.h"

enum { CTRL_Z = 26 };

// The line buffer's first capacity; it doubles from there.
static const size_t kLineStart = 128;

// What read_line found.
enum { LINE_READ, LINE_NONE, LINE_NO_MEMORY };

// The line buffer, shared by all reads; absent between reads.
static char* line_buf = NULL;
static size_t line_cap = 0;

// The number of the line being handled, for the trace.
static int trace_line = 0;

static int is_space(char c) {
  return isspace((unsigned char)c) != 0;
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

// Reads the next line into the line buffer. NUL and CR bytes are dropped; a
// line feed ends a line; Ctrl-Z, the end of the file and a read error end the
// line when it holds a kept byte and otherwise end the reading.
static int read_line(FILE* file) {
  size_t len = 0;
  for (;;) {
    int c = fgetc(file);
    if (c == 0 || c == '\r') {
      continue;
    }
    if (c == '\n') {
      break;
    }
    if (c == CTRL_Z || c == EOF) {
      if (len == 0) {
        return LINE_NONE;
      }
      break;
    }
    if (make_room(len)) {
      return LINE_NO_MEMORY;
    }
    line_buf[len++] = (char)c;
  }
  if (make_room(len)) {
    return LINE_NO_MEMORY;
  }
  line_buf[len] = '\0';
  return LINE_READ;
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
  while (isalnum((unsigned char)*p)) {
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
  char* copy;
  size_t len;
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
  len = strlen(text);
  copy = (char*)malloc(len + 1);
  if (!copy) {
    trace_not_applied("out-of-memory", text);
    return 1;
  }
  memcpy(copy, text, len + 1);
  putenv_rc = rt_putenv(copy);
  trace_assignment(text, eq, putenv_rc);
  // The environment keeps the copy, except when it refuses it or when the
  // line removes a variable: neither keeps anything of the string.
  if (putenv_rc != 0 || (eq && eq[1] == '\0')) {
    free(copy);
  }
  return 0;
}

// Handles one line: expanded first, then a comment, a section header or an
// assignment. A line that expands past the limit is skipped whole. Returns
// 0, or 1 when out of memory.
static int handle_line(const char* line, int* in_section) {
  char* text;
  char* p;
  int rc = tav_expand(line, 1, TAV_MAX_EXPANDED_LINE, &text);
  trace_line++;
  if (rc == TAV_EXPAND_TOO_LARGE) {
    trace_not_applied("expands-past-limit", line);
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
  while ((got = read_line(file)) == LINE_READ) {
    if (handle_line(line_buf, &in_section)) {
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
