// Escaping text onto one line, byte by byte. Plain code for every platform.
#include "rt/escape.h"

int rt_escape_byte(unsigned char c, int how, char out[5]) {
  static const char kHex[] = "0123456789ABCDEF";
  int len = 0;
  if (c < 0x20 || c > 0x7e) {
    out[len++] = '\\';
    out[len++] = 'x';
    out[len++] = kHex[c >> 4];
    out[len++] = kHex[c & 0xF];
  } else {
    if (how == RT_ESCAPE_VALUE && (c == '"' || c == '\\')) {
      out[len++] = '\\';
    }
    out[len++] = (char)c;
  }
  out[len] = '\0';
  return len;
}

void rt_put_escaped(FILE* out, const char* text, int how) {
  char form[5];
  if (!text) {
    fputs("unset", out);
    return;
  }
  if (how == RT_ESCAPE_VALUE) {
    fputc('"', out);
  }
  for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
    if (rt_escape_byte(*p, how, form) == 1) {
      fputc(*p, out);
    } else {
      fputs(form, out);
    }
  }
  if (how == RT_ESCAPE_VALUE) {
    fputc('"', out);
  }
}
