// Fuzz target: the loader's word splitter, with its invariants.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz/support.h"
#include "loader/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The splitter may write one byte past the end of the text.
  std::vector<char> buf(data, data + size);
  buf.push_back('!');
  char* text = buf.data();
  char* end = text + size;
  RtList args = {0, 0, nullptr};
  int rescan = 0;
  fz_check(ldr_split(text, end, &args, &rescan) == 0, "split failed");
  fz_check(args.count <= (int)(size + 1) / 2, "more words than the text holds");

  int holds_at = 0;
  const char* after = text;
  for (int i = 0; i < args.count; i++) {
    const char* word = args.items[i];
    // Words lie in the buffer in order, each after the end of the last, and
    // begin where the input had a byte of the word.
    fz_check(word >= after && word < end, "word outside the text or out of order");
    size_t len = strnlen(word, (size_t)(end - word) + 1);
    fz_check(word + len <= end, "word runs past the text");
    size_t next = i + 1 < args.count ? (size_t)(args.items[i + 1] - text) : size;
    const char* source = (const char*)data + (word - text);
    size_t source_len = next - (size_t)(word - text);
    int quoted = memchr(source, '"', source_len) != nullptr;
    for (size_t k = 0; k < len; k++) {
      char c = word[k];
      fz_check(c != '\n' && c != '\r' && c != 26, "line end or Ctrl-Z in a word");
      fz_check(!(c == ' ' || c == '\t') || quoted, "blank from unquoted text");
      holds_at |= c == '@';
    }
    fz_check(len <= source_len, "word longer than its source");
    after = word + len + 1;
  }
  fz_check(rescan == holds_at, "rescan flag disagrees with the words");
  free(args.items);
  return 0;
}
