// The bare fill of the environment that tavcore's settings reader is
// measured against: each line of the file named by the first argument goes
// to putenv as it is. The file is read whole, and the environment keeps
// pointers into that one block. With "-print" after the file name the
// environment is written out afterwards, one entry a line.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern char** environ;

int main(int argc, char** argv) {
  FILE* file;
  long size;
  char* text;
  char* line;
  if (argc < 2 || !(file = fopen(argv[1], "rb"))) {
    return 2;
  }
  fseek(file, 0, SEEK_END);
  size = ftell(file);
  fseek(file, 0, SEEK_SET);
  text = (char*)malloc((size_t)size + 1);
  if (!text || fread(text, 1, (size_t)size, file) != (size_t)size) {
    return 2;
  }
  text[size] = '\0';
  fclose(file);
  line = text;
  while (*line) {
    char* end = strchr(line, '\n');
    if (end) {
      *end = '\0';
    }
    putenv(line);
    if (!end) {
      break;
    }
    line = end + 1;
  }
  if (argc > 2 && strcmp(argv[2], "-print") == 0) {
    for (char** e = environ; *e; e++) {
      puts(*e);
    }
  }
  return 0;
}
