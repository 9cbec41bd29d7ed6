// Files on Windows: opened once by their exact UTF-16 names, their size and
// type taken from the open handle, and the reason of a failure from the one
// error that the open gave.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>

#include "rt/rt-win32.h"
#include "rt/rt.h"

// The reason that the error of a failed open stands for: a file that is
// there but refuses the open (held without sharing, or denied), or nothing
// that can be opened at all.
static int open_failure(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return RT_UNREADABLE;
    default:
      return RT_NOT_FOUND;
  }
}

// Opens path with access for a file of the kind wanted: a regular file
// (want_dir 0) or a directory (1), also when something else is there, so
// that the handle tells what it is. Returns 0 with *h open; RT_NOT_FOUND
// or RT_UNREADABLE as the open's error tells; RT_NOT_REGULAR or
// RT_NOT_DIR when the handle shows another kind, with *h closed.
static int open_kind(const char* path, DWORD access, int want_dir, HANDLE* h) {
  BY_HANDLE_FILE_INFORMATION info;
  wchar_t* wide;
  int is_dir;
  int rc = rt_wide_from_text(path, &wide);
  *h = INVALID_HANDLE_VALUE;
  if (rc != RT_OK) {
    return rc == RT_NO_MEMORY ? RT_NO_MEMORY : RT_NOT_FOUND;
  }
  if (wide[0] == L'\0') {
    free(wide);
    return RT_NOT_FOUND;
  }
  // Backup semantics open a directory too, so that it is told apart from a
  // file that is denied; no other open is tried.
  *h = CreateFileW(wide, access,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                   NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  free(wide);
  if (*h == INVALID_HANDLE_VALUE) {
    return open_failure(GetLastError());
  }
  // A device (CON, NUL) or a pipe is no file on disk.
  is_dir = GetFileType(*h) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(*h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (want_dir ? is_dir : GetFileType(*h) == FILE_TYPE_DISK && !is_dir) {
    return 0;
  }
  CloseHandle(*h);
  *h = INVALID_HANDLE_VALUE;
  return want_dir ? RT_NOT_DIR : RT_NOT_REGULAR;
}

int rt_read_whole(const char* path, unsigned long limit, char** text,
                  unsigned long* size) {
  LARGE_INTEGER length;
  unsigned long got = 0;
  HANDLE h;
  int why = open_kind(path, GENERIC_READ, 0, &h);
  *text = NULL;
  if (why) {
    return why;
  }
  if (!GetFileSizeEx(h, &length)) {
    CloseHandle(h);
    return RT_UNREADABLE;
  }
  *size = length.QuadPart > 0xffffffffLL ? 0xfffffffful
                                         : (unsigned long)length.QuadPart;
  if (length.QuadPart > (LONGLONG)limit) {
    CloseHandle(h);
    return RT_TOO_LARGE;
  }
  *text = (char*)malloc(*size + 1);
  if (!*text) {
    CloseHandle(h);
    return RT_NO_MEMORY;
  }
  while (got < *size) {
    DWORD n = 0;
    if (!ReadFile(h, *text + got, (DWORD)(*size - got), &n, NULL)) {
      why = RT_UNREADABLE;
      break;
    }
    if (n == 0) {
      why = RT_UNREADABLE;
      break;
    }
    got += n;
  }
  CloseHandle(h);
  if (why) {
    free(*text);
    *text = NULL;
    return why;
  }
  (*text)[got] = '\0';
  return 0;
}

int rt_open_regular(const char* path, FILE** file) {
  HANDLE h;
  int fd;
  int why = open_kind(path, GENERIC_READ, 0, &h);
  *file = NULL;
  if (why) {
    return why == RT_NO_MEMORY ? RT_UNREADABLE : why;
  }
  fd = _open_osfhandle((intptr_t)h, _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return RT_UNREADABLE;
  }
  *file = _fdopen(fd, "rb");
  if (!*file) {
    _close(fd);
    return RT_UNREADABLE;
  }
  return 0;
}

FILE* rt_open_append(const char* path) {
  // The name is decoded on the stack: the trace opens its file this way, and
  // must not allocate.
  wchar_t wide[RT_PATH_MAX];
  FILE* file;
  HANDLE h;
  int fd;
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide,
                          RT_PATH_MAX) <= 0) {
    return NULL;
  }
  // A pipe whose other end is not listening refuses the open at once; one
  // that is, and every device, is closed again before anything is written.
  h = CreateFileW(wide, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
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
  // Opened for nothing but its attributes; a trailing separator is taken as
  // it stands.
  HANDLE h;
  int why = open_kind(path, 0, 1, &h);
  if (why) {
    return why == RT_NOT_DIR ? RT_NOT_DIR : RT_NOT_FOUND;
  }
  CloseHandle(h);
  return 0;
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
