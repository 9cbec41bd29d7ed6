// Test helpers: running the built programs as child processes, and the files
// and folders they work on. One implementation per platform.
#ifndef TESTS_SUPPORT_PROC_H_
#define TESTS_SUPPORT_PROC_H_

#include <string>
#include <vector>

// A change to the child's environment: set to value, or removed.
struct EnvChange {
  std::string name;
  bool set;
  std::string value;
};

inline EnvChange Set(const std::string& name, const std::string& value) {
  return EnvChange{name, true, value};
}
inline EnvChange Unset(const std::string& name) {
  return EnvChange{name, false, std::string()};
}

struct RunResult {
  int status = -1;   // exit status; -1 when the program could not be run
  std::string out;   // standard output, byte for byte
  std::string err;   // standard error, byte for byte
};

// Runs program with args (element 0 of the child's arguments is the program's
// path; args follow it), with env applied on top of this process's
// environment, in the folder cwd (the current one when empty). A program
// without a directory part is taken from the folder of the test binary, and
// gets the platform's executable suffix. With streams false the child has
// no standard input, output or error at all (as a GUI program started from a
// desktop), and out and err stay empty.
RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::vector<EnvChange>& env = {},
                      const std::string& cwd = "", bool streams = true);

// The folder of the test binary, which holds the built programs, with a
// trailing separator.
std::string bin_dir();

// The platform's file name of a program, or of a shared library as
// programs load it (on Linux tavcore's SONAME, libtavcore.so.0).
std::string exe_file(const std::string& program);
std::string lib_file(const std::string& library);

// The platform's separator between folders in a path, and between entries
// of a class path or PATH.
extern const char kDirSep[];
extern const char kListSep[];

// The platform's null device: a readable path that is not a regular file.
extern const char kNullDevice[];

// A new, empty folder for one test, below the current folder: an absolute
// path with a trailing separator.
std::string scratch_dir(const std::string& name);

// Creates a folder and its parents. Returns true on success.
bool make_dirs(const std::string& path);

bool write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool copy_file(const std::string& from, const std::string& to);
bool remove_file(const std::string& path);

// Makes a FIFO (named pipe) at path. Returns false where the platform has
// none in its file system.
bool make_fifo(const std::string& path);

// Sets ("NAME=VALUE") or removes ("NAME=") a variable of the test process
// itself through the runtime layer. Returns true when done.
bool test_putenv(const std::string& assignment);

// The line ends a text-mode stream writes: CR LF on Windows, LF elsewhere.
std::string text_mode(const std::string& text);

#endif  // TESTS_SUPPORT_PROC_H_
