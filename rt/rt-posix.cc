// The runtime layer on POSIX: reproduces the Microsoft runtime's rules that the
// programs rely on (case-blind environment names, _putenv's removal rule).
// Starting programs is in exec-posix.cc.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rt/path.h"
#include "rt/rt.h"

extern char** environ;

// Length of the name part of an environment entry.
static size_t name_length(const char* entry) {
  const char* eq = strchr(entry, '=');
  return eq ? (size_t)(eq - entry) : strlen(entry);
}

// Finds an entry whose name equals name[0..len) without regard to case.
// An entry whose name matches exactly is preferred.
static char* find_entry(const char* name, size_t len) {
  char* folded = NULL;
  for (char** e = environ; e && *e; e++) {
    // Most entries differ in their first byte; letters of either case
    // differ in no other bit than 0x20.
    if (((*e)[0] | 0x20) != (name[0] | 0x20) || name_length(*e) != len) {
      continue;
    }
    if (strncmp(*e, name, len) == 0) {
      return *e;
    }
    if (!folded && strncasecmp(*e, name, len) == 0) {
      folded = *e;
    }
  }
  return folded;
}

const char* rt_getenv(const char* name) {
  size_t len = strlen(name);
  char* entry;
  if (len == 0 || strchr(name, '=')) {
    return NULL;
  }
  entry = find_entry(name, len);
  return entry ? entry + len + 1 : NULL;
}

int rt_putenv(char* assignment) {
  const char* eq = strchr(assignment, '=');
  size_t len;
  char* entry;
  if (!eq || eq == assignment) {
    return -1;
  }
  len = (size_t)(eq - assignment);
  // Remove every spelling of the name first, so that one variable remains.
  while ((entry = find_entry(assignment, len)) != NULL) {
    char* name = strndup(entry, len);
    int rc = name ? unsetenv(name) : -1;
    free(name);
    if (rc != 0) {
      return -1;
    }
  }
  if (eq[1] == '\0') {
    return 0;
  }
  return putenv(assignment) == 0 ? 0 : -1;
}

void rt_publish_environment(void) {}

int rt_exe_path(char* buf, size_t size) {
  ssize_t n;
  if (size == 0) {
    return RT_EXE_PATH_TOO_LONG;
  }
  buf[0] = '\0';
  n = readlink("/proc/self/exe", buf, size);
  if (n <= 0 || (size_t)n >= size) {
    buf[0] = '\0';
    return n <= 0 ? RT_EXE_PATH_UNKNOWN : RT_EXE_PATH_TOO_LONG;
  }
  buf[n] = '\0';
  return 0;
}

int rt_is_lead_byte(unsigned char byte) {
  (void)byte;
  return 0;
}

int rt_file_size(const char* path, unsigned long* size) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
    return 1;
  }
  *size = (unsigned long)st.st_size;
  return 0;
}

// Opens path for reading when it is a regular file. O_NONBLOCK lets the open
// of a FIFO without a writer return at once; the type is then checked on the
// open descriptor, so a file swapped in between cannot slip through. Returns
// the descriptor, or -1.
static int open_regular(const char* path) {
  struct stat st;
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

int rt_read_file(const char* path, char* buf, unsigned long size) {
  unsigned long got = 0;
  int fd = open_regular(path);
  if (fd < 0) {
    return 1;
  }
  while (got < size) {
    ssize_t n = read(fd, buf + got, size - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    got += (unsigned long)n;
  }
  close(fd);
  return got == size ? 0 : 1;
}

FILE* rt_open_regular(const char* path) {
  FILE* file;
  int fd = open_regular(path);
  if (fd < 0) {
    return NULL;
  }
  file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
  }
  return file;
}

FILE* rt_open_append(const char* path) {
  struct stat st;
  FILE* file;
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC,
                0666);
  if (fd < 0) {
    return NULL;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return NULL;
  }
  file = fdopen(fd, "a");
  if (!file) {
    close(fd);
  }
  return file;
}

int rt_is_dir(const char* path) {
  struct stat st;
  return path[0] != '\0' && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int rt_exists(const char* path) {
  struct stat st;
  return path[0] != '\0' && stat(path, &st) == 0;
}

unsigned long long rt_discard_input(unsigned long long count) {
  char buf[16384];
  unsigned long long done = 0;
  while (done < count) {
    size_t want =
        count - done < sizeof buf ? (size_t)(count - done) : sizeof buf;
    ssize_t n = read(0, buf, want);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += (unsigned long long)n;
  }
  return done;
}
