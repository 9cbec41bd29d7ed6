// Escaping text onto one line, byte by byte. Plain code for every platform.
#include "rt/escape.h"

void rt_put_escaped(FILE* out, const char* text, int how) {
  const int quoted = how == RT_ESCAPE_VALUE;
  if (!text) {
    fputs("unset", out);
    return;
  }
  if (quoted) {
    fputc('"', out);
  }
  for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
    if (*p < 0x20 || *p > 0x7e) {
      fprintf(out, "\\x%02X", *p);
      continue;
    }
    if (quoted && (*p == '"' || *p == '\\')) {
      fputc('\\', out);
    }
    fputc(*p, out);
  }
  if (quoted) {
    fputc('"', out);
  }
}
