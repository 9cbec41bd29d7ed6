// Expansion of %NAME% references: a reference becomes the value of the
// variable NAME, or the settings directory for %@P%, and inserted text is
// scanned again.
//
// The text still to be scanned lies reversed in a stack, its next byte on
// top. Inserting a replacement in front of it pushes the replacement's bytes
// and leaves the rest where it is, so an expansion costs time in proportion
// to the text it reads and writes, however many references it replaces.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "rt/grow.h"
#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/expand.h"

// A growable byte buffer; its capacity doubles as it fills.
struct Buf {
  char* data;
  size_t len;
  size_t cap;
};

// The ASCII letter c in upper case; every other byte as it is.
static char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? (char)(c & ~0x20) : c;
}

void tav_upper(char* begin, const char* end, int code_page) {
  for (char* p = begin; p < end; p++) {
    if (code_page && rt_double_byte(p, end)) {
      p++;
    } else {
      *p = ascii_upper(*p);
    }
  }
}

int tav_same_text(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; i++) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) {
      return 0;
    }
  }
  return 1;
}

// Makes room for more bytes after the buffer's length, and one more for a
// terminator. Returns 0, or 1 when it cannot grow (the buffer then stays).
static int reserve(Buf* b, size_t more) {
  return more <= SIZE_MAX - 1 - b->len &&
                 rt_grow((void**)&b->data, &b->cap, b->len + more + 1, 1,
                         64) == RT_OK
             ? 0
             : 1;
}

static int append(Buf* b, const char* bytes, size_t n) {
  if (reserve(b, n)) {
    return 1;
  }
  memcpy(b->data + b->len, bytes, n);
  b->len += n;
  return 0;
}

// Pushes bytes onto a reversed stack, so that bytes[0] comes off first.
static int push_reversed(Buf* b, const char* bytes, size_t n) {
  char* out;
  if (reserve(b, n)) {
    return 1;
  }
  out = b->data + b->len + n;
  for (size_t i = 0; i < n; i++) {
    *--out = bytes[i];
  }
  b->len += n;
  return 0;
}

// Pops n bytes off a reversed stack onto the end of out, in reading order.
static int pop_onto(Buf* stack, size_t n, Buf* out) {
  const char* in;
  char* to;
  if (reserve(out, n)) {
    return 1;
  }
  in = stack->data + stack->len;
  to = out->data + out->len;
  for (size_t i = 0; i < n; i++) {
    *to++ = *--in;
  }
  stack->len -= n;
  out->len += n;
  return 0;
}

// Moves n bytes of ordinary text off the stack onto out, unless out would
// then pass limit bytes. Returns RT_OK, RT_EXPANDS_PAST_LIMIT or
// RT_NO_MEMORY.
static int emit(Buf* todo, size_t n, Buf* out, size_t limit) {
  if (n > limit - out->len) {
    return RT_EXPANDS_PAST_LIMIT;
  }
  return pop_onto(todo, n, out) ? RT_NO_MEMORY : RT_OK;
}

static int expand(const char* text, int resolve, const char* at_p,
                  size_t limit, int code_page, char** result);

// Tells whether the runtime's table holds for the variable cp_name bytes
// that are no text in the code page, as a settings line of such bytes sets
// them: the UTF-16 environment then holds only what the runtime made of
// them. Sets *bytes to a copy. Returns 1, 0 when it does not, or -1 when out
// of memory.
static int byte_value(const char* cp_name, char** bytes) {
  const char* held = rt_getenv(cp_name);
  char* text;
  switch (held ? rt_text_from_code_page(held, strlen(held), &text)
               : RT_OK) {
    case RT_OK:
      if (held && text != held) {
        free(text);
      }
      return 0;
    case RT_NO_MEMORY:
      return -1;
  }
  *bytes = strdup(held);
  return *bytes ? 1 : -1;
}

// Reads the value of the variable name (upper-case) into *value: as
// environment text, or with code_page as code-page text, exactly. A value
// of bytes that are no text in the code page is taken as those bytes by
// code-page text, and makes environment text fail with RT_NOT_IN_CODE_PAGE.
// Returns RT_OK, RT_UNSET, RT_NOT_IN_CODE_PAGE, RT_NOT_TEXT or RT_NO_MEMORY.
static int value_of(const char* name, int code_page, char** value) {
  char* text_name;
  char* cp_name;
  int rc;
  *value = NULL;
  if (!code_page) {
    // The runtime's table is asked by the code-page name; a name that the
    // code page lacks is not in it.
    rc = rt_code_page_from_text(name, "", &cp_name);
    if (rc == RT_NO_MEMORY) {
      return RT_NO_MEMORY;
    }
    rc = rc == RT_OK ? byte_value(cp_name, value) : 0;
    free(cp_name);
    if (rc != 0) {
      free(*value);
      *value = NULL;
      return rc < 0 ? RT_NO_MEMORY : RT_NOT_TEXT;
    }
    return rt_getenv_text(name, value);
  }
  switch (byte_value(name, value)) {
    case 1:
      return RT_OK;
    case -1:
      return RT_NO_MEMORY;
  }
  // A name that is no text in the code page names no variable.
  *value = NULL;
  switch (rt_text_from_code_page(name, strlen(name), &text_name)) {
    case RT_NOT_TEXT:
      return RT_UNSET;
    case RT_NO_MEMORY:
      return RT_NO_MEMORY;
  }
  rc = rt_getenv_exact(text_name, "", value);
  if (text_name != name) {
    free(text_name);
  }
  if (rc == RT_NOT_IN_CODE_PAGE) {
    free(*value);
    *value = NULL;
  }
  return rc;
}

// Sets repl to what the reference named name[0..len) stands for, at_p for
// %@P% (null when it has no form in the text); upper is scratch space for
// the upper-case name. Sets *from_dir when repl is the settings directory.
// With code_page the text is code-page text, otherwise environment text.
// Returns RT_OK, RT_NOT_IN_CODE_PAGE or RT_NOT_TEXT (a value or %@P% with
// no exact form in the text), or RT_NO_MEMORY.
static int lookup(const char* name, size_t len, const char* at_p,
                  int code_page, Buf* upper, Buf* repl, int* from_dir) {
  char* value;
  char* plain;
  int rc;
  upper->len = 0;
  repl->len = 0;
  if (append(upper, name, len)) {
    return RT_NO_MEMORY;
  }
  upper->data[len] = '\0';
  tav_upper(upper->data, upper->data + len, code_page);
  // An environment variable called @P is never consulted.
  *from_dir = strcmp(upper->data, "@P") == 0;
  if (*from_dir) {
    if (!at_p) {
      return RT_NOT_IN_CODE_PAGE;
    }
    return append(repl, at_p, strlen(at_p)) ? RT_NO_MEMORY : RT_OK;
  }
  // The value exactly as the environment holds it, whatever its characters.
  rc = value_of(upper->data, code_page, &value);
  if (rc != RT_OK) {
    return rc == RT_UNSET ? RT_OK : rc;
  }
  // The value's own references are removed, not followed.
  rc = expand(value, 0, at_p, SIZE_MAX, code_page, &plain);
  free(value);
  if (rc != RT_OK) {
    return rc;
  }
  rc = append(repl, plain, strlen(plain)) ? RT_NO_MEMORY : RT_OK;
  free(plain);
  return rc;
}

char* tav_lookup(const char* name, const char* at_p) {
  Buf upper = {NULL, 0, 0};
  Buf repl = {NULL, 0, 0};
  int from_dir;
  int failed = lookup(name, strlen(name), at_p, 0, &upper, &repl,
                      &from_dir) !=
                   RT_OK ||
               reserve(&repl, 0);
  free(upper.data);
  if (failed) {
    free(repl.data);
    return NULL;
  }
  repl.data[repl.len] = '\0';
  return repl.data;
}

// Tells whether repl is the reference %name% again, without regard to case.
static int same_reference(const Buf* repl, const char* name, size_t len) {
  return repl->len == len + 2 && repl->data[0] == '%' &&
         repl->data[len + 1] == '%' && tav_same_text(repl->data + 1, name, len);
}

int tav_expand(const char* text, int resolve, const char* at_p, size_t limit,
               char** result) {
  return expand(text, resolve, at_p, limit, 0, result);
}

int tav_expand_code_page(const char* text, const char* at_p, size_t limit,
                         char** result) {
  return expand(text, 1, at_p, limit, 1, result);
}

static int expand(const char* text, int resolve, const char* at_p,
                  size_t limit, int code_page, char** result) {
  Buf todo = {NULL, 0, 0};
  Buf out = {NULL, 0, 0};
  Buf name = {NULL, 0, 0};
  Buf upper = {NULL, 0, 0};
  Buf repl = {NULL, 0, 0};
  Buf last = {NULL, 0, 0};
  int have_last = 0;
  int last_from_dir = 0;
  size_t inserted = 0;
  int dir_inserts = 0;
  int rc = RT_NO_MEMORY;

  *result = NULL;
  if (push_reversed(&todo, text, strlen(text)) || reserve(&out, 0)) {
    goto fail;
  }
  while (todo.len > 0) {
    size_t top = todo.len - 1;
    size_t close = top;
    size_t name_len;
    int from_dir = 0;
    int got;
    while (close > 0 && todo.data[close - 1] != '%') {
      close--;
    }
    if (todo.data[top] != '%' || close == 0) {
      // Ordinary bytes up to the next "%" go out as they are; so does the
      // rest of the text after a "%" that no other follows.
      if ((got = emit(&todo, todo.len - close, &out, limit)) != 0) {
        rc = got;
        goto fail;
      }
    } else {
      close--;
      name_len = top - close - 1;
      todo.len--;
      name.len = 0;
      if (pop_onto(&todo, name_len, &name)) {
        goto fail;
      }
      todo.len--;
      // Nothing that a lookup reads changes during an expansion, so a name
      // met again gives the replacement found last time.
      if (!resolve) {
        repl.len = 0;
      } else if (have_last && last.len == name_len &&
                 memcmp(last.data, name.data, name_len) == 0) {
        from_dir = last_from_dir;
      } else {
        have_last = 0;
        last.len = 0;
        if ((got = lookup(name.data, name_len, at_p, code_page, &upper, &repl,
                          &from_dir)) != RT_OK) {
          rc = got;
          goto fail;
        }
        if (append(&last, name.data, name_len)) {
          goto fail;
        }
        have_last = 1;
        last_from_dir = from_dir;
      }
      // Every reference to a variable gives back fewer "%" than it takes, so
      // rescanning ends; only a settings directory holding "%" can feed
      // itself, and past a count its references stay as they stand.
      if ((from_dir && memchr(repl.data, '%', repl.len) &&
           ++dir_inserts > TAV_MAX_DIR_INSERTS) ||
          same_reference(&repl, name.data, name_len)) {
        if (name_len + 2 > limit - out.len) {
          rc = RT_EXPANDS_PAST_LIMIT;
          goto fail;
        }
        if (append(&out, "%", 1) || append(&out, name.data, name_len) ||
            append(&out, "%", 1)) {
          goto fail;
        }
      } else {
        inserted += repl.len;
        if (inserted > limit) {
          rc = RT_EXPANDS_PAST_LIMIT;
          goto fail;
        }
        // The scan goes on at the first inserted byte.
        if (push_reversed(&todo, repl.data, repl.len)) {
          goto fail;
        }
      }
    }
  }
  out.data[out.len] = '\0';
  *result = out.data;
  out.data = NULL;
  rc = RT_OK;

fail:
  free(todo.data);
  free(out.data);
  free(name.data);
  free(upper.data);
  free(repl.data);
  free(last.data);
  return rc;
}
