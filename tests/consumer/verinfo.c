/* Reads back what a shipped Windows file says about itself, as Explorer and
 * inventory tools do: the version resource through GetFileVersionInfo and
 * VerQueryValue, and the application manifest of a program. For each file
 * named on the command line it prints one line, fields separated by "|":
 *
 *   name|file version|product version|FileVersion|ProductVersion|
 *   ProductName|FileDescription|OriginalFilename|manifest
 *
 * where the first two are the binary versions of the fixed part, the next
 * five the strings of the first translation, and the last "asInvoker N"
 * (N supported Windows versions), "other" or "none". A file without a
 * version resource gives "name|none"; the status is then 1.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

/* The string NAME of the version block INFO, or "-" when it has none. */
static const char* string_value(void* info, unsigned lang, unsigned cp,
                                const char* name) {
  char key[128];
  char* value = NULL;
  UINT len = 0;
  snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", lang, cp,
           name);
  if (!VerQueryValueA(info, key, (void**)&value, &len) || len == 0) {
    return "-";
  }
  return value;
}

static void print_manifest(const char* path) {
  HMODULE module = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = NULL;
  if (module) {
    found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  }
  if (!found) {
    printf("none");
  } else {
    /* The manifest is not NUL-terminated: copy it before searching. */
    DWORD size = SizeofResource(module, found);
    const char* data = (const char*)LockResource(LoadResource(module, found));
    static char text[16384];
    int systems = 0;
    if (size >= sizeof text) {
      size = sizeof text - 1;
    }
    memcpy(text, data ? data : "", data ? size : 0);
    text[data ? size : 0] = '\0';
    for (const char* p = text; (p = strstr(p, "<supportedOS ")) != NULL;
         p++) {
      systems++;
    }
    if (strstr(text, "level=\"asInvoker\"")) {
      printf("asInvoker %d", systems);
    } else {
      printf("other");
    }
  }
  if (module) {
    FreeLibrary(module);
  }
}

/* Prints the line of PATH; returns 0, or 1 when it has no version. */
static int show(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; p++) {
    if (*p == '/' || *p == '\\') {
      name = p + 1;
    }
  }
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  static char info[65536];
  VS_FIXEDFILEINFO* fixed = NULL;
  WORD* translation = NULL;
  UINT len = 0;
  if (size == 0 || size > sizeof info ||
      !GetFileVersionInfoA(path, 0, size, info) ||
      !VerQueryValueA(info, "\\", (void**)&fixed, &len) ||
      len < sizeof *fixed ||
      !VerQueryValueA(info, "\\VarFileInfo\\Translation",
                      (void**)&translation, &len) ||
      len < 4) {
    printf("%s|none\n", name);
    return 1;
  }
  printf("%s|%lu.%lu.%lu.%lu|%lu.%lu.%lu.%lu", name,
         fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xffff,
         fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xffff,
         fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xffff,
         fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xffff);
  static const char* const names[] = {"FileVersion", "ProductVersion",
                                      "ProductName", "FileDescription",
                                      "OriginalFilename"};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; i++) {
    printf("|%s",
           string_value(info, translation[0], translation[1], names[i]));
  }
  printf("|");
  print_manifest(path);
  printf("\n");
  return 0;
}

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; i++) {
    status |= show(argv[i]);
  }
  return status;
}
