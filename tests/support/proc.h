// Test helpers: running the built programs as child processes, and the files
// and folders they work on. One implementation per platform.
#ifndef TESTS_SUPPORT_PROC_H_
#define TESTS_SUPPORT_PROC_H_

#include <stdio.h>

#include <string>
#include <vector>

// A change to the child's environment: set to value, or removed. Name and
// value are code-page text, or with utf8 UTF-8 text that reaches the
// child's UTF-16 environment on Windows with every character, also those
// that the code page lacks.
struct EnvChange {
  std::string name;
  bool set;
  std::string value;
  bool utf8;
};

inline EnvChange Set(const std::string& name, const std::string& value) {
  return EnvChange{name, true, value, false};
}
inline EnvChange SetUtf8(const std::string& name, const std::string& value) {
  return EnvChange{name, true, value, true};
}
inline EnvChange Unset(const std::string& name) {
  return EnvChange{name, false, std::string(), false};
}

// While one lives, the helpers here take every path, folder, program and
// argument as UTF-8 text, so that a test can name files with characters
// that the code page lacks and pass them exactly (on Windows in UTF-16; on
// POSIX bytes stay bytes).
struct Utf8Text {
  Utf8Text();
  ~Utf8Text();
};

// Opens the file at path with the C library's mode (as text of the kind
// that the helpers take). Returns the stream, or null.
FILE* open_file(const std::string& path, const char* mode);

// The value of the variable name (ASCII) in this process, as UTF-8 read
// from the UTF-16 environment on Windows; "(unset)" when it is not set.
std::string env_utf8(const std::string& name);

// Sets *cp to UTF-8 text as the active code page writes it. Returns false
// when the code page lacks one of its characters (never on POSIX, where
// text stays as it is).
bool in_code_page(const std::string& utf8, std::string* cp);

struct RunResult {
  int status = -1;   // exit status; -1 when the program could not be run
  std::string out;   // standard output, byte for byte
  std::string err;   // standard error, byte for byte
  // How far the child read its input file: the file's position when it ended.
  long long input_read = -1;
};

// Runs program with args (element 0 of the child's arguments is the program's
// path; args follow it), with env applied on top of this process's
// environment, in the folder cwd (the current one when empty). A program
// without a directory part is taken from the folder of the test binary, and
// gets the platform's executable suffix. With streams false the child has
// no standard input, output or error at all (as a GUI program started from a
// desktop), and out and err stay empty. Standard input is the file input,
// the null device when empty.
RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const std::vector<EnvChange>& env = {},
                      const std::string& cwd = "", bool streams = true,
                      const std::string& input = "");

// A program started by start_program and not yet ended.
struct StartedProgram {
  long pid = -1;  // -1 when it could not be started
  void* handle = nullptr;  // the process handle on Windows
};

// Starts program as run_program does, with its standard streams on the null
// device, and returns without waiting for it.
StartedProgram start_program(const std::string& program,
                             const std::vector<std::string>& args,
                             const std::vector<EnvChange>& env,
                             const std::string& cwd);

// Ends a started program at once, as a web server ends a CGI program that
// overruns its time (TerminateProcess on Windows, SIGKILL elsewhere), and
// waits until it has ended.
void kill_program(StartedProgram* program);

// Tells whether the process pid is still running.
bool process_running(long pid);

// Ends the process pid at once, if it still runs.
void end_process(long pid);

// Waits ms milliseconds.
void pause_ms(int ms);

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

// Makes a file at path that exists as a regular file but that this process
// and the programs it starts cannot open for reading: one without
// permissions on POSIX or, where those do not bind (root), a link to a
// kernel setting that may only be written; on Windows one that this process
// holds open without sharing until it ends. Returns false where the
// platform cannot make one.
bool make_unreadable_file(const std::string& path);

// Makes a FIFO (named pipe) at path. Returns false where the platform has
// none in its file system.
bool make_fifo(const std::string& path);

// Makes a pipe that nobody reads, with dir for its folder where the platform
// keeps pipes in folders: a FIFO on POSIX, a named pipe that is never read
// on Windows. Returns the path that a writer opens; empty when it cannot.
std::string unread_pipe(const std::string& dir);

// Sets ("NAME=VALUE") or removes ("NAME=") a variable of the test process
// itself through the runtime layer. Returns true when done.
bool test_putenv(const std::string& assignment);

// Two characters whose second byte is 0x5C, the byte of "\": ソ表 in code
// page 932, other characters in 936 and 950; plain bytes on POSIX. Empty on
// Windows under a code page without double-byte characters, where the
// bytes would be separators.
std::string trail_5c_name();

// A new folder below root, with a trailing separator, whose path is over
// 300 bytes long: folders of plain letters, then one of characters 83 5C
// placed so that a character spans bytes 259 and 260 of the path of every
// file in it. Under a single-byte code page the 5C bytes are separators and
// the folders only deeper. Empty when the platform cannot make it. (Wine
// cannot start a program this deep from a program of its own; there
// tests/deep_path_test.sh starts them from outside.)
std::string deep_folder(const std::string& root);

// Lead-byte tests for rt_set_lead_test: code page 932's lead bytes (its
// second bytes include 0x5C, the byte of "\"), and none.
int test_cp932_lead(unsigned char byte);
int test_no_lead(unsigned char byte);

// The line ends a text-mode stream writes: CR LF on Windows, LF elsewhere.
std::string text_mode(const std::string& text);

#endif  // TESTS_SUPPORT_PROC_H_
