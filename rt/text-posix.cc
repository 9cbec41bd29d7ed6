// Text, its lead bytes and the argument list on POSIX, where the code page
// and environment text are the same bytes: nothing is converted, no byte
// starts a longer character, and every argument stays as main received it.
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt.h"

int rt_text_from_code_page(const char* cp, size_t len, char** text) {
  (void)len;
  *text = (char*)cp;
  return RT_OK;
}

int rt_code_page_from_text(const char* text, const char* prefix, char** cp) {
  size_t plen = strlen(prefix);
  size_t len = strlen(text);
  *cp = (char*)malloc(plen + len + 1);
  if (!*cp) {
    return RT_NO_MEMORY;
  }
  memcpy(*cp, prefix, plen);
  memcpy(*cp + plen, text, len + 1);
  return RT_OK;
}

int rt_code_page_path(const char* path, const char* prefix, char** cp) {
  return rt_code_page_from_text(path, prefix, cp);
}

int rt_args(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  return RT_OK;
}

int rt_arg_not_in_code_page(const char* arg, const char** exact) {
  (void)arg;
  (void)exact;
  return 0;
}

int rt_text_is_code_page(void) {
  return 1;
}

int rt_has_lead_bytes(void) {
  return 0;
}

int rt_is_lead_byte(unsigned char byte) {
  (void)byte;
  return 0;
}
