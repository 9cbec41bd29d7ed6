// The runtime layer on POSIX: files and the executable's path. The
// environment is in env-posix.cc, starting programs in exec-posix.cc.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rt/path.h"
#include "rt/rt.h"

void rt_publish_environment(void) {}

int rt_has_lead_bytes(void) {
  return 0;
}

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
