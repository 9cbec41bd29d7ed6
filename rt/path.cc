// Double-byte characters, and separators found and trimmed a character at a
// time.
#include "rt/path.h"

#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"

const char kRtDirSeps[] = "\\/:";

static RtLeadByteTest lead_test = rt_is_lead_byte;

// The lead bytes of the test in use, asked of it once for all 256 bytes; the
// code page does not change while a process runs.
static unsigned char lead_table[256];
static int lead_filled = 0;

// No code page has a lead byte below 0x81, and a code page of single bytes
// has none at all.
static void fill_lead_table(void) {
  int none = lead_test == rt_is_lead_byte && !rt_has_lead_bytes();
  for (int b = 0x80; b < 256; b++) {
    lead_table[b] = !none && lead_test((unsigned char)b) ? 1 : 0;
  }
  lead_filled = 1;
}

RtLeadByteTest rt_set_lead_test(RtLeadByteTest test) {
  RtLeadByteTest before = lead_test;
  lead_test = test ? test : rt_is_lead_byte;
  fill_lead_table();
  return before;
}

const unsigned char* rt_lead_bytes(void) {
  if (!lead_filled) {
    fill_lead_table();
  }
  return lead_table;
}

// The lead bytes that paths, which are environment text, are read with: the
// code page's where the two texts are the same bytes; none where
// environment text is UTF-8, whose longer characters hold no byte below
// 0x80. A test's model stands for both.
static const unsigned char* path_lead_bytes(void) {
  static const unsigned char kNone[256] = {0};
  return lead_test != rt_is_lead_byte || rt_text_is_code_page()
             ? rt_lead_bytes()
             : kNone;
}

int rt_double_byte(const char* p, const char* end) {
  return p + 1 < end && (unsigned char)p[1] >= 0x40 &&
         rt_lead_bytes()[(unsigned char)p[0]];
}

// The length of the character at p: 2 or 1, as rt_double_byte finds it
// with the table lead; every lead byte is 0x81 or above.
static size_t char_length(const char* p, const char* end,
                          const unsigned char* lead) {
  unsigned char c = (unsigned char)*p;
  return c >= 0x80 && lead[c] && p + 1 < end &&
                 (unsigned char)p[1] >= 0x40
             ? 2
             : 1;
}

// Tells whether c, not the terminator, is one of the bytes of seps.
static int is_sep(char c, const char* seps) {
  for (; *seps; seps++) {
    if (*seps == c) {
      return 1;
    }
  }
  return 0;
}

size_t rt_path_dir_length(const char* path, const char* seps) {
  const unsigned char* lead = path_lead_bytes();
  const char* end = path + strlen(path);
  size_t after = 0;
  for (const char* p = path; p < end;) {
    size_t n = char_length(p, end, lead);
    if (n == 1 && is_sep(*p, seps)) {
      after = (size_t)(p - path) + 1;
    }
    p += n;
  }
  return after;
}

int rt_path_ends_in(const char* path, size_t len, const char* seps) {
  const unsigned char* lead = path_lead_bytes();
  const char* end = path + len;
  const char* last = NULL;
  for (const char* p = path; p < end; p += char_length(p, end, lead)) {
    last = p;
  }
  return last && last + 1 == end && is_sep(*last, seps);
}

size_t rt_path_trimmed_length(const char* path, const char* seps) {
  size_t len = strlen(path);
  return rt_path_ends_in(path, len, seps) ? len - 1 : len;
}

char* rt_path_join(const char* directory, const char* name) {
  size_t dlen = strlen(directory);
  size_t nlen = strlen(name);
  size_t sep = dlen > 0 && !rt_path_ends_in(directory, dlen, kRtDirSeps);
  char* path = (char*)malloc(dlen + sep + nlen + 1);
  if (!path) {
    return NULL;
  }
  memcpy(path, directory, dlen);
  if (sep) {
    path[dlen] = RT_DIR_SEP[0];
  }
  memcpy(path + dlen + sep, name, nlen + 1);
  return path;
}
