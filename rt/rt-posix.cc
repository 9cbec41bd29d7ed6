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

// What a stat call that returned stat_rc and filled st tells: 0 for a
// regular file, RT_FILE_MISSING when the call failed, RT_FILE_NOT_REGULAR
// for anything else.
static int regular_or_why(int stat_rc, const struct stat* st) {
  if (stat_rc != 0) {
    return RT_FILE_MISSING;
  }
  return S_ISREG(st->st_mode) ? 0 : RT_FILE_NOT_REGULAR;
}

int rt_file_size(const char* path, unsigned long* size) {
  struct stat st;
  int why = regular_or_why(stat(path, &st), &st);
  if (why == 0) {
    *size = (unsigned long)st.st_size;
  }
  return why;
}

// Opens path for reading when it is a regular file. The path is looked at
// first, so that what is missing or of another kind is told apart from a
// file that refuses the open. O_NONBLOCK lets the open of a FIFO swapped in
// meanwhile return at once; the type is checked again on the open
// descriptor. Returns 0 with *fd set, or an RT_FILE_ reason.
static int open_regular(const char* path, int* fd) {
  struct stat st;
  int why = regular_or_why(stat(path, &st), &st);
  if (why) {
    return why;
  }
  *fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (*fd < 0) {
    return RT_FILE_UNREADABLE;
  }
  why = regular_or_why(fstat(*fd, &st), &st);
  if (why) {
    close(*fd);
    return why == RT_FILE_MISSING ? RT_FILE_UNREADABLE : why;
  }
  return 0;
}

int rt_read_file(const char* path, char* buf, unsigned long size) {
  unsigned long got = 0;
  int fd;
  int why = open_regular(path, &fd);
  if (why) {
    return why;
  }
  while (got < size) {
    ssize_t n = read(fd, buf + got, size - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      why = RT_FILE_UNREADABLE;
      break;
    }
    if (n == 0) {
      why = RT_FILE_SHORT;
      break;
    }
    got += (unsigned long)n;
  }
  close(fd);
  return why;
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
    return RT_FILE_UNREADABLE;
  }
  return 0;
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

int rt_check_dir(const char* path) {
  struct stat st;
  if (path[0] == '\0' || stat(path, &st) != 0) {
    return RT_FILE_MISSING;
  }
  return S_ISDIR(st.st_mode) ? 0 : RT_FILE_NOT_DIR;
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
