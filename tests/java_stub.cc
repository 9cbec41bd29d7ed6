// A recording stand-in for the Java interpreter program: writes the arguments
// it received to the file named by JAVA_STUB_RECORD as the stand-in VM writes
// its record ("vector count=N", then "arg " and each argument as a value, as
// the trace writes one: rt/escape.h). It then writes JAVA_STUB_OUT to
// standard output and JAVA_STUB_ERR to standard error (bytes as given) and
// ends with the status in JAVA_STUB_STATUS (default 0).
//
// JAVA_STUB_PID names a file that it writes its process id to, first;
// JAVA_STUB_SLEEP makes it wait that many milliseconds before it ends. On
// Windows JAVA_STUB_HANDLE names a handle of an event in the signalled state
// that its starter may have passed down; the record then ends with a line
// "handle inherited" or "handle not inherited".
//
// Behind a web server (JAVA_STUB_ANSWER set) it answers the request itself:
// a CGI header, the same record of its arguments, an empty line, and then
// the request body exactly as it read it from standard input.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "rt/escape.h"

#ifdef _WIN32
// The arguments are recorded as the runtime's parser gave them, without
// wildcard expansion.
extern "C" {
int _dowildcard = 0;
}
#endif

static void write_record(FILE* f, int argc, char** argv) {
  fprintf(f, "vector count=%d\n", argc);
  for (int i = 0; i < argc; i++) {
    fputs("arg ", f);
    rt_put_escaped(f, argv[i], RT_ESCAPE_VALUE);
    fputc('\n', f);
  }
}

// The whole body is read before any answer is written, as a CGI program must
// where the server writes the body while the program runs (Apache's mod_cgid
// reads no answer before the body is all written).
static int answer(int argc, char** argv) {
  std::string body;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, stdin)) > 0) {
    body.append(buf, n);
  }
  if (ferror(stdin)) {
    return 97;
  }
  printf("Content-type: application/octet-stream\n\n");
  write_record(stdout, argc, argv);
  putchar('\n');
  return fwrite(body.data(), 1, body.size(), stdout) != body.size() ||
                 fflush(stdout)
             ? 97
             : 0;
}

int main(int argc, char** argv) {
  const char* record = getenv("JAVA_STUB_RECORD");
  const char* out = getenv("JAVA_STUB_OUT");
  const char* err = getenv("JAVA_STUB_ERR");
  const char* status = getenv("JAVA_STUB_STATUS");
  const char* pid = getenv("JAVA_STUB_PID");
  const char* sleep_ms = getenv("JAVA_STUB_SLEEP");
  if (pid && *pid) {
    FILE* f = fopen(pid, "wb");
    if (!f) {
      return 98;
    }
#ifdef _WIN32
    fprintf(f, "%lu\n", (unsigned long)GetCurrentProcessId());
#else
    fprintf(f, "%ld\n", (long)getpid());
#endif
    fclose(f);
  }
  if (getenv("JAVA_STUB_ANSWER")) {
    return answer(argc, argv);
  }
  if (record && *record) {
    FILE* f = fopen(record, "wb");
    if (!f) {
      return 98;
    }
    write_record(f, argc, argv);
#ifdef _WIN32
    const char* handle = getenv("JAVA_STUB_HANDLE");
    if (handle) {
      // A handle value that this process does not hold, or that names
      // another object, is not a signalled event.
      HANDLE h = (HANDLE)(uintptr_t)strtoul(handle, NULL, 10);
      fprintf(f, "handle %s\n", WaitForSingleObject(h, 0) == WAIT_OBJECT_0
                                    ? "inherited"
                                    : "not inherited");
    }
#endif
    fclose(f);
  }
  if (out) {
    fputs(out, stdout);
  }
  if (err) {
    fputs(err, stderr);
  }
  if (sleep_ms) {
#ifdef _WIN32
    Sleep((DWORD)atoi(sleep_ms));
#else
    usleep((useconds_t)atoi(sleep_ms) * 1000);
#endif
  }
  return status ? atoi(status) : 0;
}
