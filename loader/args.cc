// Argument expansion: @NAME arguments replaced by the words of a variable or a
// response file, split by the loader's quoting rules.
#include <stdlib.h>
#include <string.h>

#include "loader/loader.h"
#include "rt/grow.h"
#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"

enum { CTRL_Z = 26 };

// Bytes that a word stores as they are, with nothing else to do: all but
// the ones the word rules name and those that may start a double-byte
// character. Filled on first use.
static unsigned char plain_bytes[256];

static const unsigned char* plain_table(void) {
  static int filled = 0;
  if (!filled) {
    static const unsigned char kSpecial[] = {0,   '\t', '\n', '\r', ' ',
                                             '"', '@',  '\\', CTRL_Z};
    for (int b = 0; b < 0x80; b++) {
      plain_bytes[b] = 1;
    }
    for (unsigned char b : kSpecial) {
      plain_bytes[b] = 0;
    }
    filled = 1;
  }
  return plain_bytes;
}

int ldr_split(char* text, char* end, RtList* args, int* rescan) {
  const unsigned char* lead = rt_lead_bytes();
  const unsigned char* plain = plain_table();
  char* p = text;
  while (p < end) {
    char c = *p;
    if (c == 0 || c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      p++;
      continue;
    }
    if (c == CTRL_Z) {
      return 0;
    }
    if (rt_list_add(args, p)) {
      return 1;
    }
    // The word is compacted where it stands: the write position never passes
    // the read position.
    char* w = p;
    int quoting = 0;
    int run = 0;
    for (;;) {
      // Most bytes are plain: stored as they are, in one tight loop.
      if (p < end && plain[(unsigned char)*p]) {
        do {
          *w++ = *p++;
        } while (p < end && plain[(unsigned char)*p]);
        run = 0;
      }
      if (p == end) {
        *w = '\0';
        return 0;
      }
      c = *p++;
      if (c == 0 || c == '\n') {
        *w = '\0';
        break;
      }
      if ((c == '\t' || c == ' ') && !quoting) {
        *w = '\0';
        break;
      }
      if (c == '\r') {
        continue;
      }
      if (c == CTRL_Z) {
        *w = '\0';
        return 0;
      }
      if (c == '"') {
        w -= run / 2;
        if (run % 2 == 0) {
          quoting = !quoting;
        } else {
          w[-1] = '"';
        }
        run = 0;
        continue;
      }
      if (c == '@') {
        *rescan = 1;
      }
      *w++ = c;
      // A double-byte character is stored whole: its second byte may be
      // 0x5C, and is then no backslash. Every lead byte is 0x81 or above,
      // as rt_double_byte would find, so ASCII text costs one comparison.
      if ((unsigned char)c >= 0x80 && lead[(unsigned char)c] && p < end &&
          (unsigned char)*p >= 0x40) {
        *w++ = *p++;
        run = 0;
        continue;
      }
      run = c == '\\' ? run + 1 : 0;
    }
  }
  return 0;
}

// What one expansion may still read, over all its passes.
struct Budget {
  int sources;
  unsigned long text;
};

// Traces why the @NAME argument arg stays unexpanded. Returns null, the
// result of the failed read.
static char* unexpanded(const char* arg, int pass, int why) {
  rt_trace(ldr_trace_name, "expand %q pass=%d unexpanded reason=%s", arg, pass,
           rt_outcome_word(why));
  return NULL;
}

// Reads the text of one @NAME argument into a new buffer: a copy of the
// variable's value, or the whole response file. Sets *end to the end of the
// text and *source to "variable" or "file"; the buffer holds one byte past
// the text. Returns null on failure, after tracing why. Never freed; the
// words point into it.
static char* read_text(const char* arg, int pass, char** end,
                       const char** source, Budget* budget) {
  const char* exact;
  char* name;
  char* owned = NULL;
  unsigned long size = 0;
  char* text = NULL;
  int found;
  int why = RT_OK;
  if (budget->sources == 0) {
    return unexpanded(arg, pass, RT_SOURCE_BOUND);
  }
  // The name is looked up and opened by its exact text: an argument that
  // the code page cannot hold has it apart; any other is code-page text,
  // and one that is no text in the code page names nothing.
  if (rt_arg_not_in_code_page(arg, &exact)) {
    if (!exact) {
      return unexpanded(arg, pass, RT_NOT_FOUND);
    }
    name = (char*)exact + 1;
  } else {
    switch (rt_text_from_code_page(arg + 1, strlen(arg + 1), &name)) {
      case RT_NO_MEMORY:
        return unexpanded(arg, pass, RT_NO_MEMORY);
      case RT_NOT_TEXT:
        return unexpanded(arg, pass, RT_NOT_FOUND);
    }
    if (name != arg + 1) {
      owned = name;
    }
  }
  // The words go to the VM as code-page text: a value that the code page
  // cannot hold exactly is not taken in any other form.
  found = rt_getenv_exact(name, "", &text);
  if (found == RT_OK) {
    size = (unsigned long)strlen(text);
    *source = "variable";
  } else if (found == RT_UNSET) {
    why = rt_read_whole(name, LDR_MAX_RESPONSE_FILE, &text, &size);
    *source = "file";
  }
  free(owned);
  if (found == RT_NO_MEMORY || found == RT_NOT_IN_CODE_PAGE) {
    free(text);
    return unexpanded(arg, pass, found);
  }
  // Only a regular file is read; anything else counts as missing, and the
  // trace tells the two apart. A file that cannot be opened, or that
  // changed while it was read, is unreadable.
  if (why == RT_TOO_LARGE) {
    rt_trace(ldr_trace_name,
             "expand %q pass=%d file=%q size=%u unexpanded reason=%s", arg,
             pass, arg + 1, size, rt_outcome_word(why));
    return NULL;
  }
  if (why != RT_OK) {
    return unexpanded(arg, pass, why);
  }
  if (size > budget->text) {
    free(text);
    return unexpanded(arg, pass, RT_TEXT_BOUND);
  }
  budget->sources--;
  budget->text -= size;
  *end = text + size;
  return text;
}

// One pass over the list: fills out and sets *rescan when a word holds "@".
static int expand_pass(int argc, char** argv, int pass, RtList* out,
                       int* rescan, Budget* budget) {
  for (int i = 0; i < argc; i++) {
    char* end;
    char* text;
    const char* source;
    int before = out->count;
    if (argv[i][0] != '@') {
      if (rt_list_add(out, argv[i])) {
        return 1;
      }
      continue;
    }
    text = read_text(argv[i], pass, &end, &source, budget);
    if (!text) {
      return 1;
    }
    if (ldr_split(text, end, out, rescan)) {
      unexpanded(argv[i], pass, RT_NO_MEMORY);
      return 1;
    }
    rt_trace(ldr_trace_name, "expand %q pass=%d %s=%q size=%u words=%d",
             argv[i], pass, source, argv[i] + 1, (unsigned long)(end - text),
             out->count - before);
  }
  // Room for the null entry is always there, also for an empty list.
  if (rt_list_add(out, NULL)) {
    return 1;
  }
  out->count--;
  return 0;
}

int ldr_expand(int* argc, char*** argv) {
  Budget budget = {LDR_MAX_SOURCES, LDR_MAX_TEXT};
  int count = *argc;
  char** list = *argv;
  for (int pass = 0; pass < LDR_MAX_PASSES; pass++) {
    RtList out = {0, 0, NULL};
    int rescan = 0;
    int failed = expand_pass(count, list, pass + 1, &out, &rescan, &budget);
    // An earlier pass's array is ours to release; the caller's never is.
    if (list != *argv) {
      free(list);
    }
    if (failed) {
      free(out.items);
      return 1;
    }
    count = out.count;
    list = out.items;
    if (!rescan) {
      *argc = count;
      *argv = list;
      return 0;
    }
  }
  if (list != *argv) {
    free(list);
  }
  rt_trace(ldr_trace_name, "expand unexpanded reason=%s passes=%d",
           rt_outcome_word(RT_PASS_BOUND), LDR_MAX_PASSES);
  return 1;
}
