// Quoting of one value by the Windows runtime's command-line rules.
#include "rt/cmdline.h"

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
