// A stand-in for the product's programs: calls the environment library's
// exports named on its command line and prints what they give, one line per
// call.
//
//   init N     TAVInitializeEnvironment(N)    -> init=RESULT
//   cp         TAVGetClasspath()              -> cp=VALUE or cp unset
//   ext        TAVGetExtendedClasspath()      -> ext=VALUE
//   dup TEXT   TAV_strdup(TEXT)               -> dup=COPY
//   put TEXT   TAV_putenv(copy of TEXT)       -> put=RESULT
//   get NAME   this program's getenv(NAME)    -> NAME=VALUE or NAME unset
//   wget NAME  the UTF-16 environment's NAME  -> NAME=VALUE in UTF-8
//              (getenv elsewhere)                or NAME unset
//   len NAME   length of getenv(NAME)         -> len=LENGTH
//   copy A B   copies file A over file B      -> (nothing)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#endif

#include <string>

#include "tavcore/tavcore.h"
#include "tests/support/proc.h"

// Prints a string that the library returned, then frees it with this
// program's free(). On Windows the block must come from this program's own
// runtime heap.
static void print_owned(const char* label, char* text) {
  if (!text) {
    printf("%s null\n", label);
    return;
  }
#ifdef _WIN32
  if (!HeapValidate((HANDLE)_get_heap_handle(), 0, text)) {
    printf("%s not from the caller's heap\n", label);
    return;
  }
#endif
  printf("%s=%s\n", label, text);
  free(text);
}

// Hands a copy of text to TAV_putenv. Only a string that sets a variable is
// kept by the environment; the others are freed here.
static int host_putenv(const char* text) {
  char* copy = strdup(text);
  const char* eq = strchr(text, '=');
  int rc = TAV_putenv(copy);
  if (rc != 0 || (eq && eq[1] == '\0')) {
    free(copy);
  }
  return rc;
}

static int copy(const char* from, const char* to) {
  char buf[4096];
  size_t n;
  FILE* in = fopen(from, "rb");
  FILE* out = in ? fopen(to, "wb") : NULL;
  int rc = in && out ? 0 : 1;
  while (rc == 0 && (n = fread(buf, 1, sizeof buf, in)) > 0) {
    rc = fwrite(buf, 1, n, out) == n ? 0 : 1;
  }
  if (in) {
    fclose(in);
  }
  if (out && fclose(out) != 0) {
    rc = 1;
  }
  return rc;
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    const char* cmd = argv[i];
    const char* arg = i + 1 < argc ? argv[i + 1] : "";
    if (strcmp(cmd, "init") == 0) {
      printf("init=%d\n", TAVInitializeEnvironment(atoi(arg)));
      i++;
    } else if (strcmp(cmd, "cp") == 0) {
      const char* value = TAVGetClasspath();
      if (value) {
        printf("cp=%s\n", value);
      } else {
        printf("cp unset\n");
      }
    } else if (strcmp(cmd, "ext") == 0) {
      print_owned("ext", TAVGetExtendedClasspath());
    } else if (strcmp(cmd, "dup") == 0) {
      print_owned("dup", TAV_strdup(arg));
      i++;
    } else if (strcmp(cmd, "put") == 0) {
      printf("put=%d\n", host_putenv(arg));
      i++;
    } else if (strcmp(cmd, "get") == 0) {
      const char* value = getenv(arg);
      if (value) {
        printf("%s=%s\n", arg, value);
      } else {
        printf("%s unset\n", arg);
      }
      i++;
    } else if (strcmp(cmd, "wget") == 0) {
      std::string value = env_utf8(arg);
      if (value != "(unset)") {
        printf("%s=%s\n", arg, value.c_str());
      } else {
        printf("%s unset\n", arg);
      }
      i++;
    } else if (strcmp(cmd, "len") == 0) {
      const char* value = getenv(arg);
      printf("len=%d\n", value ? (int)strlen(value) : -1);
      i++;
    } else if (strcmp(cmd, "copy") == 0 && i + 2 < argc) {
      if (copy(argv[i + 1], argv[i + 2])) {
        printf("copy failed\n");
      }
      i += 2;
    } else {
      fprintf(stderr, "tav_host: unknown command %s\n", cmd);
      return 2;
    }
  }
  return 0;
}
