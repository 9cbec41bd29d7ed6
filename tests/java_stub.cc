// A recording stand-in for the Java interpreter program: writes the arguments
// it received to the file named by JAVA_STUB_RECORD, one line each, with every
// byte outside printable ASCII, and the backslash, as "\xHH". It then writes
// JAVA_STUB_OUT to standard output and JAVA_STUB_ERR to standard error (bytes
// as given) and ends with the status in JAVA_STUB_STATUS (default 0).
#include <stdio.h>
#include <stdlib.h>

#ifdef _WIN32
// The arguments are recorded as the runtime's parser gave them, without
// wildcard expansion.
extern "C" {
int _dowildcard = 0;
}
#endif

int main(int argc, char** argv) {
  const char* record = getenv("JAVA_STUB_RECORD");
  const char* out = getenv("JAVA_STUB_OUT");
  const char* err = getenv("JAVA_STUB_ERR");
  const char* status = getenv("JAVA_STUB_STATUS");
  if (record && *record) {
    FILE* f = fopen(record, "wb");
    if (!f) {
      return 98;
    }
    fprintf(f, "argc %d\n", argc);
    for (int i = 0; i < argc; i++) {
      for (const unsigned char* p = (const unsigned char*)argv[i]; *p; p++) {
        if (*p < 0x20 || *p >= 0x7f || *p == '\\') {
          fprintf(f, "\\x%02X", *p);
        } else {
          fputc(*p, f);
        }
      }
      fputc('\n', f);
    }
    fclose(f);
  }
  if (out) {
    fputs(out, stdout);
  }
  if (err) {
    fputs(err, stderr);
  }
  return status ? atoi(status) : 0;
}
