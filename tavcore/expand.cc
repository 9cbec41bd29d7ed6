// Expansion of %NAME% references: a reference becomes the value of the
// variable NAME, or the settings directory for %@P%, and inserted text is
// scanned again.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "tavcore/settings.h"

void tav_upper(char* begin, const char* end) {
  for (char* p = begin; p < end; p++) {
    if (islower((unsigned char)*p)) {
      *p = (char)(*p & ~0x20);
    }
  }
}

int tav_same_text(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) {
      return 0;
    }
  }
  return 1;
}

static char* copy_range(const char* text, size_t len) {
  char* copy = (char*)malloc(len + 1);
  if (copy) {
    memcpy(copy, text, len);
    copy[len] = '\0';
  }
  return copy;
}

// tav_lookup for name[0..len). Sets *from_dir when the result is the
// settings directory.
static char* lookup_range(const char* name, size_t len, int* from_dir) {
  char* upper = copy_range(name, len);
  char* result;
  if (!upper) {
    return NULL;
  }
  tav_upper(upper, upper + len);
  // An environment variable called @P is never consulted.
  *from_dir = strcmp(upper, "@P") == 0;
  if (*from_dir) {
    const char* dir = tav_settings_dir();
    size_t dlen = strlen(dir);
    if (dlen > 0 && dir[dlen - 1] == RT_DIR_SEP[0]) {
      dlen--;
    }
    result = copy_range(dir, dlen);
  } else {
    const char* value = rt_getenv(upper);
    result = tav_expand(value ? value : "", 0);
  }
  free(upper);
  return result;
}

char* tav_lookup(const char* name) {
  int from_dir;
  return lookup_range(name, strlen(name), &from_dir);
}

char* tav_expand(const char* text, int resolve) {
  size_t len = strlen(text);
  size_t pos = 0;
  int dir_inserts = 0;
  char* buf = copy_range(text, len);
  if (!buf) {
    return NULL;
  }
  while (pos < len) {
    char* close;
    char* repl = NULL;
    size_t ref_len;
    size_t repl_len = 0;
    int from_dir = 0;
    int keep;
    if (buf[pos] != '%' || (close = strchr(buf + pos + 1, '%')) == NULL) {
      pos++;
      continue;
    }
    ref_len = (size_t)(close - (buf + pos)) + 1;
    if (resolve) {
      repl = lookup_range(buf + pos + 1, ref_len - 2, &from_dir);
      if (!repl) {
        goto fail;
      }
      repl_len = strlen(repl);
    }
    // Every reference to a variable gives back fewer "%" than it takes, so
    // rescanning ends; only a settings directory holding "%" can feed itself.
    if (from_dir && strchr(repl, '%') && ++dir_inserts > TAV_MAX_DIR_INSERTS) {
      keep = 1;
    } else {
      keep = repl_len == ref_len && tav_same_text(repl, buf + pos, ref_len);
    }
    if (keep) {
      free(repl);
      pos += ref_len;
      continue;
    }
    if (repl_len > ref_len) {
      char* grown;
      if (repl_len - ref_len > SIZE_MAX - len - 1) {
        free(repl);
        goto fail;
      }
      grown = (char*)realloc(buf, len - ref_len + repl_len + 1);
      if (!grown) {
        free(repl);
        goto fail;
      }
      buf = grown;
    }
    memmove(buf + pos + repl_len, buf + pos + ref_len, len - pos - ref_len + 1);
    if (repl_len > 0) {
      memcpy(buf + pos, repl, repl_len);
    }
    len = len - ref_len + repl_len;
    free(repl);
    // The scan goes on at the first inserted byte.
  }
  return buf;

fail:
  free(buf);
  return NULL;
}
