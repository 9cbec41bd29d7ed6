// Test helpers on POSIX: fork and exec with files for the standard streams.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/proc.h"

const char kDirSep[] = "/";
const char kListSep[] = ":";
const char kNullDevice[] = "/dev/null";

std::string bin_dir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) {
    return "./";
  }
  buf[n] = '\0';
  std::string path(buf);
  return path.substr(0, path.rfind('/') + 1);
}

std::string exe_file(const std::string& program) {
  return program;
}

std::string lib_file(const std::string& library) {
  if (library == "tavcore") {
    return TAVCORE_SONAME;
  }
  return "lib" + library + ".so";
}

std::string trail_5c_name() {
  return "\x83\x5C\x95\x5C";
}

std::string text_mode(const std::string& text) {
  return text;
}

bool make_dirs(const std::string& path) {
  std::string part;
  for (size_t i = 0; i <= path.size(); i++) {
    if (i == path.size() || (path[i] == '/' && i > 0)) {
      part = path.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
      }
    }
  }
  return true;
}

static void remove_tree(const std::string& path) {
  std::string cmd = "rm -rf '" + path + "'";
  if (system(cmd.c_str()) != 0) {
    // Left for the next run to find; the folder is made anew below.
  }
}

std::string scratch_dir(const std::string& name) {
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) {
    return std::string();
  }
  std::string dir = std::string(cwd) + "/" + name;
  remove_tree(dir);
  make_dirs(dir);
  return dir + "/";
}

bool copy_file(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    return false;
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  struct stat st;
  if (stat(from.c_str(), &st) == 0) {
    chmod(to.c_str(), st.st_mode & 07777);
  }
  return (bool)out;
}

Utf8Text::Utf8Text() {}

Utf8Text::~Utf8Text() {}

FILE* open_file(const std::string& path, const char* mode) {
  return fopen(path.c_str(), mode);
}

bool remove_file(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

std::string env_utf8(const std::string& name) {
  const char* value = getenv(name.c_str());
  return value ? value : "(unset)";
}

bool in_code_page(const std::string& utf8, std::string* cp) {
  *cp = utf8;
  return true;
}

// Tells whether this process can open path for reading.
static bool opens_for_reading(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    return false;
  }
  close(fd);
  return true;
}

bool make_unreadable_file(const std::string& path) {
  // Permissions do not bind root; the kernel opens this setting for writing
  // alone, to root too.
  static const char kWriteOnly[] = "/proc/sys/vm/drop_caches";
  struct stat st;
  if (!write_file(path, "unreadable\n") || chmod(path.c_str(), 0) != 0) {
    return false;
  }
  if (opens_for_reading(path) &&
      (!remove_file(path) || symlink(kWriteOnly, path.c_str()) != 0)) {
    return false;
  }
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         !opens_for_reading(path);
}

bool make_fifo(const std::string& path) {
  return mkfifo(path.c_str(), 0600) == 0;
}

std::string unread_pipe(const std::string& dir) {
  return make_fifo(dir + "pipe") ? dir + "pipe" : std::string();
}

// Starts program with its standard streams on the descriptors given (-1:
// closed) and env applied, in the folder cwd. Returns the child's pid, or -1.
static pid_t spawn(const std::string& program,
                   const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::string& cwd,
                   const int fds[3]) {
  std::string path =
      program.find('/') == std::string::npos ? bin_dir() + program : program;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) {
    argv.push_back(const_cast<char*>(a.c_str()));
  }
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    for (int i = 0; i < 3; i++) {
      if (fds[i] >= 0) {
        dup2(fds[i], i);
      } else {
        close(i);
      }
    }
    for (const EnvChange& e : env) {
      if (e.set) {
        setenv(e.name.c_str(), e.value.c_str(), 1);
      } else {
        unsetenv(e.name.c_str());
      }
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
      _exit(126);
    }
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::vector<EnvChange>& env,
                      const std::string& cwd, bool streams,
                      const std::string& input) {
  RunResult result;
  char out_name[] = "/tmp/proc-out-XXXXXX";
  char err_name[] = "/tmp/proc-err-XXXXXX";
  int out_fd = mkstemp(out_name);
  int err_fd = mkstemp(err_name);
  // The child shares the open file, and so its position.
  int in_fd = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
  if (out_fd < 0 || err_fd < 0 || in_fd < 0) {
    return result;
  }
  int none[3] = {-1, -1, -1};
  int files[3] = {in_fd, out_fd, err_fd};
  pid_t pid = spawn(program, args, env, cwd, streams ? files : none);
  close(out_fd);
  close(err_fd);
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid) {
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus)
                                       : 128 + WTERMSIG(wstatus);
  }
  result.input_read = lseek(in_fd, 0, SEEK_CUR);
  close(in_fd);
  result.out = read_file(out_name);
  result.err = read_file(err_name);
  unlink(out_name);
  unlink(err_name);
  return result;
}

StartedProgram start_program(const std::string& program,
                             const std::vector<std::string>& args,
                             const std::vector<EnvChange>& env,
                             const std::string& cwd) {
  StartedProgram started;
  int null_fd = open("/dev/null", O_RDWR);
  int fds[3] = {null_fd, null_fd, null_fd};
  started.pid = spawn(program, args, env, cwd, fds);
  close(null_fd);
  return started;
}

void kill_program(StartedProgram* program) {
  if (program->pid > 0) {
    kill((pid_t)program->pid, SIGKILL);
    waitpid((pid_t)program->pid, nullptr, 0);
  }
  program->pid = -1;
}

bool process_running(long pid) {
  return pid > 0 && kill((pid_t)pid, 0) == 0;
}

void end_process(long pid) {
  if (process_running(pid)) {
    kill((pid_t)pid, SIGKILL);
  }
}

void pause_ms(int ms) {
  usleep((useconds_t)ms * 1000);
}
