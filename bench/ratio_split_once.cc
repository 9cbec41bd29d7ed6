// Runs the loader's word splitter once over the bytes of a file, for the
// splitter's instructions per byte: "split FILE" reads and splits, "read
// FILE" does the same without the split and is the baseline taken off.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "loader/loader.h"

int main(int argc, char** argv) {
  FILE* file;
  long size;
  char* text;
  int words = 0;
  if (argc < 3 || !(file = fopen(argv[2], "rb"))) {
    return 2;
  }
  fseek(file, 0, SEEK_END);
  size = ftell(file);
  fseek(file, 0, SEEK_SET);
  // One byte past the text, which the splitter may write.
  text = (char*)malloc((size_t)size + 1);
  if (!text || fread(text, 1, (size_t)size, file) != (size_t)size) {
    return 2;
  }
  fclose(file);
  if (strcmp(argv[1], "split") == 0) {
    LdrArgs args = {0, 0, NULL};
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
