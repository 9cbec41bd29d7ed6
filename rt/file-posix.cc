// Files on POSIX: opened once, their type taken from the open descriptor,
// and the reason of a failure from the one error that the open gave; and
// the request body read from standard input and dropped.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rt/rt.h"

// Opens path once for reading, without waiting for a FIFO's writer, and
// tells from the open descriptor whether it is a regular file. Returns 0
// with *fd set, or an RT_FILE_ reason from the open's error or the
// descriptor's type.
static int open_regular(const char* path, int* fd) {
  struct stat st;
  *fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (*fd < 0) {
    return errno == EACCES || errno == EPERM ? RT_UNREADABLE : RT_NOT_FOUND;
  }
  if (fstat(*fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(*fd);
    return RT_NOT_REGULAR;
  }
  return 0;
}

int rt_read_whole(const char* path, unsigned long limit, char** text,
                  unsigned long* size) {
  struct stat st;
  unsigned long got = 0;
  int fd;
  int why = open_regular(path, &fd);
  *text = NULL;
  if (why) {
    return why;
  }
  if (fstat(fd, &st) != 0) {
    close(fd);
    return RT_UNREADABLE;
  }
  *size = (unsigned long)st.st_size;
  if ((unsigned long long)st.st_size > limit) {
    close(fd);
    return RT_TOO_LARGE;
  }
  *text = (char*)malloc(*size + 1);
  if (!*text) {
    close(fd);
    return RT_NO_MEMORY;
  }
  while (got < *size) {
    ssize_t n = read(fd, *text + got, *size - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      why = RT_UNREADABLE;
      break;
    }
    if (n == 0) {
      why = RT_UNREADABLE;
      break;
    }
    got += (unsigned long)n;
  }
  close(fd);
  if (why) {
    free(*text);
    *text = NULL;
    return why;
  }
  (*text)[got] = '\0';
  return 0;
}

int rt_open_regular(const char* path, FILE** file) {
  int fd;
  int why = open_regular(path, &fd);
  *file = NULL;
  if (why) {
    return why;
  }
  *file = fdopen(fd, "rb");
  if (!*file) {
    close(fd);
    return RT_UNREADABLE;
  }
  return 0;
}

FILE* rt_open_append(const char* path) {
  struct stat st;
  FILE* file;
  int fd =
      open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
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

int rt_check_dir(const char* path) {
  struct stat st;
  if (path[0] == '\0' || stat(path, &st) != 0) {
    return RT_NOT_FOUND;
  }
  return S_ISDIR(st.st_mode) ? 0 : RT_NOT_DIR;
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
