// The runtime layer on Windows: a thin pass-through to msvcrt and the kernel
// for files, and text between the active code page and UTF-16. The
// environment is in env-win32.cc, starting programs in exec-win32.cc.
#include <windows.h>

#include <io.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>

#include "rt/path.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"

// Every program of the system has its wildcard arguments expanded by the
// runtime at start-up.
extern "C" {
int _dowildcard = -1;
}

// The runtime's initial environment table, exported by msvcrt as data.
extern "C" __declspec(dllimport) char** __initenv;

void rt_publish_environment(void) {
  __initenv = _environ;
}

int rt_has_lead_bytes(void) {
  CPINFO info;
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

int rt_exe_path(char* buf, size_t size) {
  // Every character takes at least one byte in the code page, so a path of
  // limit units or more cannot fit buf: the wide buffer need hold no more
  // than that to tell a whole path from one that is too long. The kernel
  // cuts a longer path, on some systems with no error, and so may return
  // the buffer's length less one: that too counts as too long.
  wchar_t wide[RT_PATH_MAX + 1];
  size_t limit = size < RT_PATH_MAX ? size : RT_PATH_MAX;
  DWORD n;
  int rc;
  if (size == 0) {
    return RT_EXE_PATH_TOO_LONG;
  }
  buf[0] = '\0';
  n = GetModuleFileNameW(NULL, wide, (DWORD)limit + 1);
  if (n == 0) {
    return RT_EXE_PATH_UNKNOWN;
  }
  if (n >= limit) {
    return RT_EXE_PATH_TOO_LONG;
  }
  // Only an exact form in the code page names this file: a character the
  // code page lacks would come back as another one.
  rc = rt_narrow_exact(wide, (int)n, buf, limit);
  if (rc < 0) {
    buf[0] = '\0';
    return rc == -1 ? RT_EXE_PATH_NOT_IN_CODE_PAGE : RT_EXE_PATH_TOO_LONG;
  }
  return 0;
}

int rt_is_lead_byte(unsigned char byte) {
  return IsDBCSLeadByte(byte) ? 1 : 0;
}

int rt_file_size(const char* path, unsigned long* size) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(path, &found);
  if (h == INVALID_HANDLE_VALUE) {
    // The search finds no root and no name written with a trailing
    // separator; the attribute query tells whether something is there.
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES
               ? RT_FILE_MISSING
               : RT_FILE_NOT_REGULAR;
  }
  FindClose(h);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return RT_FILE_NOT_REGULAR;
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

// Looks at path before it is opened: missing and directories are told apart
// there, so that an open that then fails is a file that refuses it (held
// open without sharing, or denied). Returns 0 or an RT_FILE_ reason.
static int before_open(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  if (attr == INVALID_FILE_ATTRIBUTES) {
    return RT_FILE_MISSING;
  }
  return (attr & FILE_ATTRIBUTE_DIRECTORY) ? RT_FILE_NOT_REGULAR : 0;
}

int rt_read_file(const char* path, char* buf, unsigned long size) {
  int got;
  int fd;
  int why = before_open(path);
  if (why) {
    return why;
  }
  fd = _open(path, _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    return RT_FILE_UNREADABLE;
  }
  if (!is_disk_file(fd)) {
    _close(fd);
    return RT_FILE_NOT_REGULAR;
  }
  got = _read(fd, buf, (unsigned)size);
  _close(fd);
  if (got < 0) {
    return RT_FILE_UNREADABLE;
  }
  return (unsigned long)got == size ? 0 : RT_FILE_SHORT;
}

int rt_open_regular(const char* path, FILE** file) {
  int why = before_open(path);
  *file = NULL;
  if (why) {
    return why;
  }
  *file = fopen(path, "rb");
  if (!*file) {
    return RT_FILE_UNREADABLE;
  }
  if (!is_disk_file(_fileno(*file))) {
    fclose(*file);
    *file = NULL;
    return RT_FILE_NOT_REGULAR;
  }
  return 0;
}

FILE* rt_open_append(const char* path) {
  FILE* file;
  int fd;
  // A pipe whose other end is not listening refuses the open at once; one
  // that is, and every device, is closed again before anything is written.
  HANDLE h = CreateFileA(path, FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) {
    return NULL;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return NULL;
  }
  fd = _open_osfhandle((intptr_t)h, _O_APPEND | _O_WRONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(h);
    return NULL;
  }
  file = _fdopen(fd, "a");
  if (!file) {
    _close(fd);
  }
  return file;
}

int rt_check_dir(const char* path) {
  // The runtime's _stat refuses a directory written with a trailing
  // separator; the kernel's attribute query takes it as it stands.
  DWORD attr;
  if (path[0] == '\0') {
    return RT_FILE_MISSING;
  }
  attr = GetFileAttributesA(path);
  if (attr == INVALID_FILE_ATTRIBUTES) {
    return RT_FILE_MISSING;
  }
  return (attr & FILE_ATTRIBUTE_DIRECTORY) ? 0 : RT_FILE_NOT_DIR;
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

DWORD rt_narrow_flags(void) {
  // The UTF code pages take no flags and need none.
  UINT acp = GetACP();
  return acp == CP_UTF8 || acp == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
}

wchar_t* rt_widen(const char* text, size_t len, int* units) {
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

int rt_narrow_exact(const wchar_t* text, int units, char* out, size_t size) {
  UINT acp = GetACP();
  int utf8 = acp == CP_UTF8;
  // The UTF-8 code page reports a lone surrogate as an error; the others
  // say through the default-character flag that a stand-in was used.
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : rt_narrow_flags();
  BOOL defaulted = FALSE;
  BOOL* used = utf8 || acp == CP_UTF7 ? NULL : &defaulted;
  int n = WideCharToMultiByte(CP_ACP, flags, text, units, NULL, 0, NULL, used);
  if (n <= 0 || defaulted) {
    return -1;
  }
  if ((size_t)n >= size) {
    return -2;
  }
  if (WideCharToMultiByte(CP_ACP, flags, text, units, out, n, NULL, used) != n ||
      defaulted) {
    return -1;
  }
  out[n] = '\0';
  return n;
}
