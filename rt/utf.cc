// UTF-16 to UTF-8, surrogate pairs joined and lone surrogates refused.
#include "rt/utf.h"

#include <stdlib.h>

size_t rt_utf8_encode(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = (char)cp;
    return 1;
  }
  if (cp < 0x800) {
    out[0] = (char)(0xC0 | (cp >> 6));
    out[1] = (char)(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = (char)(0xE0 | (cp >> 12));
    out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[2] = (char)(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = (char)(0xF0 | (cp >> 18));
  out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
  out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
  out[3] = (char)(0x80 | (cp & 0x3F));
  return 4;
}

int rt_utf8_from_utf16(const uint16_t* units, size_t n, char** out) {
  char* text;
  size_t at = 0;
  *out = NULL;
  // A unit takes at most three bytes; a pair, two units, takes four.
  if (n > (SIZE_MAX - 1) / 3) {
    return RT_NO_MEMORY;
  }
  text = (char*)malloc(3 * n + 1);
  if (!text) {
    return RT_NO_MEMORY;
  }
  for (size_t i = 0; i < n; i++) {
    uint32_t cp = units[i];
    if (cp >= RT_HIGH_SURROGATE && cp < RT_SURROGATE_END) {
      if (cp >= RT_LOW_SURROGATE || i + 1 == n ||
          units[i + 1] < RT_LOW_SURROGATE ||
          units[i + 1] >= RT_SURROGATE_END) {
        free(text);
        return RT_NOT_TEXT;
      }
      cp = 0x10000 + ((cp - RT_HIGH_SURROGATE) << 10) +
           (units[++i] - RT_LOW_SURROGATE);
    }
    at += rt_utf8_encode(cp, text + at);
  }
  text[at] = '\0';
  *out = text;
  return RT_OK;
}
