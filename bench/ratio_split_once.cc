// Runs the loader's word splitter once over the bytes of a file, for the
// splitter's instructions per byte: "split FILE" reads and splits, "read
// FILE" does the same without the split and is the baseline taken off.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "loader/loader.h"
#include "rt/rt.h"

int main(int argc, char** argv) {
  unsigned long size;
  char* text;
  int words = 0;
  // One byte past the text, which the splitter may write.
  if (argc < 3 || rt_read_whole(argv[2], LDR_MAX_RESPONSE_FILE, &text, &size)) {
    return 2;
  }
  if (strcmp(argv[1], "split") == 0) {
    RtList args = {0, 0, NULL};
    int rescan = 0;
    if (ldr_split(text, text + size, &args, &rescan)) {
      return 1;
    }
    words = args.count;
    free(args.items);
  }
  // Both modes print one number, so that they differ by the split alone.
  printf("%d words\n", words);
  free(text);
  return 0;
}
