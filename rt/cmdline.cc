// Quoting of values and whole command lines by the Windows runtime's
// command-line rules.
#include "rt/cmdline.h"

#include <stdlib.h>

static const uint16_t kBackslash = '\\';
static const uint16_t kQuote = '"';

size_t rt_quoted_length(const uint16_t* value, size_t len) {
  size_t n = 2;
  size_t run = 0;
  for (size_t i = 0; i < len; i++) {
    if (value[i] == kBackslash) {
      run++;
    } else if (value[i] == kQuote) {
      n += run + 1;
      run = 0;
    } else {
      run = 0;
    }
    n++;
  }
  return n + run;
}

size_t rt_quote_value(const uint16_t* value, size_t len, uint16_t* out) {
  size_t n = 0;
  size_t run = 0;
  out[n++] = kQuote;
  // A run of backslashes stands as written unless a quote follows it; then
  // each is doubled and the quote escaped, so the parser gives back the run
  // and the quote as text.
  for (size_t i = 0; i < len; i++) {
    if (value[i] == kBackslash) {
      run++;
    } else if (value[i] == kQuote) {
      for (size_t k = 0; k < run + 1; k++) {
        out[n++] = kBackslash;
      }
      run = 0;
    } else {
      run = 0;
    }
    out[n++] = value[i];
  }
  // Before the closing quote, the trailing run is doubled.
  for (size_t k = 0; k < run; k++) {
    out[n++] = kBackslash;
  }
  out[n++] = kQuote;
  return n;
}

// Tells whether text must be enclosed to stay one argument: empty, or
// holding a blank, a tab or a quote.
static int needs_quotes(const uint16_t* text, size_t len) {
  for (size_t i = 0; i < len; i++) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == kQuote) {
      return 1;
    }
  }
  return len == 0;
}

// The length of the name that stands before the quoted rest of arg: up to
// and including its first "=", when that part needs no quotes; 0 when the
// argument stands or is enclosed whole.
static size_t name_length(const uint16_t* arg, size_t len) {
  for (size_t i = 0; i < len; i++) {
    if (arg[i] == '=') {
      return needs_quotes(arg, i + 1) ? 0 : i + 1;
    }
  }
  return 0;
}

size_t rt_cmdline_length(const uint16_t* arg, size_t len) {
  size_t name = name_length(arg, len);
  if (name == 0 && !needs_quotes(arg, len)) {
    return len;
  }
  return name + rt_quoted_length(arg + name, len - name);
}

size_t rt_cmdline_put(const uint16_t* arg, size_t len, uint16_t* out) {
  size_t name = name_length(arg, len);
  if (name == 0 && !needs_quotes(arg, len)) {
    for (size_t i = 0; i < len; i++) {
      out[i] = arg[i];
    }
    return len;
  }
  for (size_t i = 0; i < name; i++) {
    out[i] = arg[i];
  }
  return name + rt_quote_value(arg + name, len - name, out + name);
}

int rt_cmdline_build(const uint16_t* const* args, const size_t* lens,
                     size_t count, uint16_t** line) {
  size_t total = 0;
  size_t at = 0;
  *line = NULL;
  for (size_t i = 0; i < count; i++) {
    // Quoting at most doubles an argument and adds two quotes, so one this
    // long cannot fit; shorter ones are measured.
    if (lens[i] >= RT_CMDLINE_MAX) {
      return RT_COMMAND_LINE_TOO_LONG;
    }
    // The blank after the argument, or the terminator after the last.
    total += rt_cmdline_length(args[i], lens[i]) + 1;
    if (total > RT_CMDLINE_MAX) {
      return RT_COMMAND_LINE_TOO_LONG;
    }
  }
  if (count == 0) {
    total = 1;
  }
  *line = (uint16_t*)malloc(total * sizeof(uint16_t));
  if (!*line) {
    return RT_NO_MEMORY;
  }
  for (size_t i = 0; i < count; i++) {
    if (i > 0) {
      (*line)[at++] = ' ';
    }
    at += rt_cmdline_put(args[i], lens[i], *line + at);
  }
  (*line)[at] = 0;
  return RT_OK;
}

static int is_blank(uint16_t c) {
  return c == ' ' || c == '\t';
}

size_t rt_cmdline_split(const uint16_t* line, size_t len, uint16_t* out,
                        RtCmdArg* args) {
  size_t p = 0;
  size_t w = 0;
  size_t count = 0;
  int inquote = 0;
  for (size_t i = 0; i < len; i++) {
    if (line[i] == 0) {
      len = i;
      break;
    }
  }
  // The program name: quotes toggle, nothing else is special.
  args[0].start = 0;
  args[0].quoted = 0;
  while (p < len && (inquote || !is_blank(line[p]))) {
    if (line[p] == kQuote) {
      inquote = !inquote;
      args[0].quoted = 1;
    } else {
      out[w++] = line[p];
    }
    p++;
  }
  args[0].len = w;
  out[w++] = 0;
  count = 1;
  for (;;) {
    RtCmdArg* arg;
    while (p < len && is_blank(line[p])) {
      p++;
    }
    if (p >= len) {
      break;
    }
    arg = &args[count++];
    arg->start = w;
    arg->quoted = 0;
    inquote = 0;
    for (;;) {
      size_t run = 0;
      int copy = 1;
      while (p < len && line[p] == kBackslash) {
        p++;
        run++;
      }
      if (p < len && line[p] == kQuote) {
        if (run % 2 == 0) {
          // The older rule: "" inside quotes is one literal quote, and the
          // quoted part ends there.
          if (inquote && p + 1 < len && line[p + 1] == kQuote) {
            p++;
          } else {
            copy = 0;
          }
          inquote = !inquote;
          arg->quoted = 1;
        }
        run /= 2;
      }
      for (size_t k = 0; k < run; k++) {
        out[w++] = kBackslash;
      }
      if (p >= len || (!inquote && is_blank(line[p]))) {
        break;
      }
      if (copy) {
        out[w++] = line[p];
      }
      p++;
    }
    arg->len = w - arg->start;
    out[w++] = 0;
  }
  return count;
}
