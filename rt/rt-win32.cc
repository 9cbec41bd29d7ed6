// The runtime layer on Windows: a thin pass-through to msvcrt and the kernel,
// plus the guarded start of another program.
#include <windows.h>

#include <io.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>

#include "rt/cmdline.h"
#include "rt/rt.h"

// Every program of the system has its wildcard arguments expanded by the
// runtime at start-up.
extern "C" {
int _dowildcard = -1;
}

// The runtime's initial environment table, exported by msvcrt as data.
extern "C" __declspec(dllimport) char** __initenv;

const char* rt_getenv(const char* name) {
  return getenv(name);
}

int rt_putenv(char* assignment) {
  return _putenv(assignment);
}

void rt_publish_environment(void) {
  __initenv = _environ;
}

int rt_exe_path(char* buf, size_t size) {
  DWORD n;
  if (size == 0) {
    return 1;
  }
  n = GetModuleFileNameA(NULL, buf, (DWORD)size);
  // A path that does not fit comes back cut (and, on old systems, without a
  // terminator): treat it as missing.
  if (n == 0 || n >= size) {
    buf[0] = '\0';
    return 1;
  }
  buf[n] = '\0';
  return 0;
}

int rt_file_size(const char* path, unsigned long* size) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(path, &found);
  if (h == INVALID_HANDLE_VALUE) {
    return 1;
  }
  FindClose(h);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return 1;
  }
  *size = found.nFileSizeHigh ? (unsigned long)-1 : found.nFileSizeLow;
  return 0;
}

// Tells whether an open descriptor is a file on disk, not a device such as
// CON or NUL, nor a pipe.
static int is_disk_file(int fd) {
  HANDLE h = (HANDLE)_get_osfhandle(fd);
  return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK;
}

int rt_read_file(const char* path, char* buf, unsigned long size) {
  int got;
  int fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    return 1;
  }
  if (!is_disk_file(fd)) {
    _close(fd);
    return 1;
  }
  got = _read(fd, buf, (unsigned)size);
  _close(fd);
  return got >= 0 && (unsigned long)got == size ? 0 : 1;
}

FILE* rt_open_regular(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file && !is_disk_file(_fileno(file))) {
    fclose(file);
    return NULL;
  }
  return file;
}

int rt_is_dir(const char* path) {
  // The runtime's _stat refuses a directory written with a trailing
  // separator; the kernel's attribute query takes it as it stands.
  DWORD attr;
  if (path[0] == '\0') {
    return 0;
  }
  attr = GetFileAttributesA(path);
  return attr != INVALID_FILE_ATTRIBUTES &&
         (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int rt_exists(const char* path) {
  return path[0] != '\0' && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

unsigned long long rt_discard_input(unsigned long long count) {
  char buf[16384];
  unsigned long long done = 0;
  // In text mode the runtime would stop at a 0x1A byte and fold CR LF into
  // one byte. The mode is put back afterwards. -1: no standard input.
  int mode = _setmode(0, _O_BINARY);
  if (mode == -1) {
    return 0;
  }
  while (done < count) {
    unsigned want =
        count - done < sizeof buf ? (unsigned)(count - done) : sizeof buf;
    // 0 at the end of input, a pipe's writer gone included; -1 on an error.
    int n = _read(0, buf, want);
    if (n <= 0) {
      break;
    }
    done += (unsigned long long)n;
  }
  _setmode(0, mode);
  return done;
}

// The flags for turning UTF-16 back into the active code page: no best-fit
// stand-ins, which could turn a character the code page lacks into a quote or
// a backslash. The UTF code pages take no flags and need none.
static DWORD narrow_flags(void) {
  UINT acp = GetACP();
  return acp == CP_UTF8 || acp == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
}

// Decodes len bytes of the active code page into a new UTF-16 string with a
// terminator; *units gets its length without the terminator. Returns null
// when out of memory or when the text is too long for the conversion.
// Returns a new string; the caller frees it with free().
static wchar_t* widen(const char* text, size_t len, int* units) {
  wchar_t* wide;
  int n = 0;
  if (len > 0x3fffffff) {
    return NULL;
  }
  if (len > 0) {
    n = MultiByteToWideChar(CP_ACP, 0, text, (int)len, NULL, 0);
    if (n <= 0) {
      return NULL;
    }
  }
  wide = (wchar_t*)malloc(((size_t)n + 1) * sizeof(wchar_t));
  if (!wide) {
    return NULL;
  }
  if (n > 0 && MultiByteToWideChar(CP_ACP, 0, text, (int)len, wide, n) != n) {
    free(wide);
    return NULL;
  }
  wide[n] = L'\0';
  *units = n;
  return wide;
}

char* rt_exec_arg(const char* prefix, const char* value) {
  size_t plen = strlen(prefix);
  DWORD flags = narrow_flags();
  wchar_t* wide = NULL;
  uint16_t* quoted = NULL;
  char* arg = NULL;
  size_t qlen;
  int units;
  int n;

  // The argument's bounds are decided on the value as the started program's
  // runtime decodes it: in a double-byte code page a trail byte 0x5C is part
  // of a character, not a backslash, and a lead byte takes the byte after
  // it. So the value is decoded, quoted as UTF-16 and encoded again; what
  // comes back holds only whole characters of the code page.
  wide = widen(value, strlen(value), &units);
  if (!wide) {
    goto fail;
  }
  qlen = rt_quoted_length((const uint16_t*)wide, (size_t)units);
  if (qlen > 0x3fffffff) {
    goto fail;
  }
  quoted = (uint16_t*)malloc(qlen * sizeof(uint16_t));
  if (!quoted) {
    goto fail;
  }
  rt_quote_value((const uint16_t*)wide, (size_t)units, quoted);
  n = WideCharToMultiByte(CP_ACP, flags, (const wchar_t*)quoted, (int)qlen,
                          NULL, 0, NULL, NULL);
  if (n <= 0) {
    goto fail;
  }
  arg = (char*)malloc(plen + (size_t)n + 1);
  if (!arg) {
    goto fail;
  }
  memcpy(arg, prefix, plen);
  if (WideCharToMultiByte(CP_ACP, flags, (const wchar_t*)quoted, (int)qlen,
                          arg + plen, n, NULL, NULL) != n) {
    goto fail;
  }
  arg[plen + n] = '\0';
  free(wide);
  free(quoted);
  return arg;

fail:
  free(wide);
  free(quoted);
  free(arg);
  return NULL;
}

static int is_file(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  return attr != INVALID_FILE_ATTRIBUTES &&
         (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

static int has_extension(const char* path) {
  const char* dot = strrchr(path, '.');
  return dot && !strpbrk(dot, "\\/:");
}

static int is_batch(const char* path) {
  const char* dot = strrchr(path, '.');
  return dot && (_stricmp(dot, ".bat") == 0 || _stricmp(dot, ".cmd") == 0);
}

// Tries candidate as given when it has an extension, else with the runtime's
// extensions in its order. Returns 1 and fills found (RT_PATH_MAX bytes) when
// a file matches.
static int try_candidate(const char* candidate, char* found) {
  static const char* const kExtensions[] = {".com", ".exe", ".bat", ".cmd"};
  size_t len = strlen(candidate);
  if (has_extension(candidate)) {
    if (len >= RT_PATH_MAX || !is_file(candidate)) {
      return 0;
    }
    memcpy(found, candidate, len + 1);
    return 1;
  }
  for (const char* ext : kExtensions) {
    if (len + strlen(ext) >= RT_PATH_MAX) {
      return 0;
    }
    memcpy(found, candidate, len);
    strcpy(found + len, ext);
    if (is_file(found)) {
      return 1;
    }
  }
  return 0;
}

// Searches as the runtime's exec call does: the name itself first, then,
// when it holds no directory part, each directory of PATH in order.
static int search_program(const char* file, char* found) {
  const char* path;
  char candidate[RT_PATH_MAX];
  if (try_candidate(file, found)) {
    return 1;
  }
  if (strpbrk(file, "\\/:")) {
    return 0;
  }
  path = getenv("PATH");
  while (path && *path) {
    const char* end = strchr(path, ';');
    size_t dlen = end ? (size_t)(end - path) : strlen(path);
    size_t flen = strlen(file);
    if (dlen > 0 && dlen + 1 + flen < sizeof candidate) {
      memcpy(candidate, path, dlen);
      size_t pos = dlen;
      if (candidate[pos - 1] != '\\' && candidate[pos - 1] != '/') {
        candidate[pos++] = '\\';
      }
      memcpy(candidate + pos, file, flen + 1);
      if (try_candidate(candidate, found)) {
        return 1;
      }
    }
    path = end ? end + 1 : NULL;
  }
  return 0;
}

static HANDLE inheritable(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (h != NULL && h != INVALID_HANDLE_VALUE) {
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  return h;
}

int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report) {
  char found[RT_PATH_MAX];
  char* joined = NULL;
  wchar_t* cmdline = NULL;
  wchar_t* app = NULL;
  size_t len = 0;
  int units = 0;
  int app_units;
  STARTUPINFOW si;
  PROCESS_INFORMATION pi;
  DWORD code;

  if (!search_program(file, found)) {
    report->reason = RT_EXEC_NOT_FOUND;
    return 1;
  }
  if (is_batch(found)) {
    report->reason = RT_EXEC_BATCH_FILE;
    return 1;
  }
  // From here on the fail label reports the reason set last: what the start
  // was doing when it gave up.
  report->reason = RT_EXEC_NO_MEMORY;
  // The runtime joins the vector with single blanks and adds no quoting; the
  // entries come already quoted from rt_exec_arg.
  for (char* const* a = argv; *a; a++) {
    len += strlen(*a) + 1;
  }
  joined = (char*)malloc(len + 1);
  if (!joined) {
    goto fail;
  }
  len = 0;
  for (char* const* a = argv; *a; a++) {
    size_t n = strlen(*a);
    if (a != argv) {
      joined[len++] = ' ';
    }
    memcpy(joined + len, *a, n);
    len += n;
  }
  joined[len] = '\0';
  // The line is measured as it is started, in UTF-16. Windows refuses one
  // over the limit, and Wine starts it cut short, with arguments missing:
  // neither may happen to a request, so it is not started at all.
  cmdline = widen(joined, len, &units);
  app = widen(found, strlen(found), &app_units);
  if (!cmdline || !app) {
    goto fail;
  }
  if ((size_t)units + 1 > RT_CMDLINE_MAX) {
    report->reason = RT_EXEC_TOO_LONG;
    goto fail;
  }
  if (report->starting) {
    report->starting(found, joined);
  }
  report->reason = RT_EXEC_REFUSED;

  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inheritable(STD_INPUT_HANDLE);
  si.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  si.hStdError = inheritable(STD_ERROR_HANDLE);
  if (!CreateProcessW(app, cmdline, NULL, NULL, TRUE, 0, NULL, NULL, &si,
                      &pi)) {
    goto fail;
  }
  free(joined);
  free(cmdline);
  free(app);
  WaitForSingleObject(pi.hProcess, INFINITE);
  if (!GetExitCodeProcess(pi.hProcess, &code)) {
    code = 1;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  *status = (int)code;
  return 0;

fail:
  free(joined);
  free(cmdline);
  free(app);
  return 1;
}
