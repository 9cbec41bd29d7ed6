// The opt-in trace: where its lines go, decided once per process, and how
// each line is put together. Plain code for every platform.
#include "rt/trace.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "rt/escape.h"
#include "rt/rt.h"

enum { TRACE_UNKNOWN, TRACE_OFF, TRACE_STDERR, TRACE_FILE };

static int mode = TRACE_UNKNOWN;

// A copy of the file name in environment text, opened by its exact name:
// the variable itself may change later, for instance through a settings
// file.
static char file_name[RT_PATH_MAX];

int rt_trace_on(void) {
  if (mode != TRACE_UNKNOWN) {
    return mode != TRACE_OFF;
  }
  mode = TRACE_OFF;
  // A name that does not fit turns tracing off, as an unset one does.
  if (rt_getenv_text_into(RT_TRACE_VARIABLE, file_name, sizeof file_name) !=
          RT_OK ||
      file_name[0] == '\0') {
    return 0;
  }
  mode = strcmp(file_name, "1") == 0 ? TRACE_STDERR : TRACE_FILE;
  return 1;
}

// Writes n in decimal, digit by digit: the Windows runtime's printf has no
// conversion for a 64-bit number that every toolchain agrees on.
static void put_decimal(FILE* out, unsigned long long n) {
  char digits[24];
  int len = 0;
  do {
    digits[len++] = (char)('0' + n % 10);
    n /= 10;
  } while (n);
  while (len > 0) {
    fputc(digits[--len], out);
  }
}

static void put_line(FILE* out, const char* source, const char* format,
                     va_list args) {
  rt_put_escaped(out, source, RT_ESCAPE_WORD);
  fputs(": ", out);
  for (const char* f = format; *f; f++) {
    if (*f != '%' || f[1] == '\0') {
      fputc(*f, out);
      continue;
    }
    switch (*++f) {
      case 's':
        rt_put_escaped(out, va_arg(args, const char*), RT_ESCAPE_WORD);
        break;
      case 'q':
        rt_put_escaped(out, va_arg(args, const char*), RT_ESCAPE_VALUE);
        break;
      case 'd':
        fprintf(out, "%d", va_arg(args, int));
        break;
      case 'u':
        fprintf(out, "%lu", va_arg(args, unsigned long));
        break;
      case 'U':
        put_decimal(out, va_arg(args, unsigned long long));
        break;
      case 'v': {
        int count = va_arg(args, int);
        char* const* entries = va_arg(args, char* const*);
        fprintf(out, "count=%d", count);
        for (int i = 0; i < count; i++) {
          fputc(' ', out);
          rt_put_escaped(out, entries[i], RT_ESCAPE_VALUE);
        }
        break;
      }
      default:
        fputc(*f, out);
        break;
    }
  }
  fputc('\n', out);
}

void rt_trace(const char* source, const char* format, ...) {
  va_list args;
  FILE* out;
  // What the program does next must not depend on whether a line was
  // written, not even through errno.
  int saved_errno = errno;
  if (!rt_trace_on()) {
    errno = saved_errno;
    return;
  }
  out = mode == TRACE_STDERR ? stderr : rt_open_append(file_name);
  if (out) {
    va_start(args, format);
    put_line(out, source, format, args);
    va_end(args);
    if (out == stderr) {
      fflush(out);
    } else {
      fclose(out);
    }
  }
  errno = saved_errno;
}
