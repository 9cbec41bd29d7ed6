// The runtime layer: every platform service the launchers use, with the
// Microsoft C runtime's behaviour as the contract on every platform.
#ifndef RT_RT_H_
#define RT_RT_H_

#include <stddef.h>
#include <stdio.h>

// Separators of the paths and class paths that the programs build. They are
// string literals so that they join other literals at compile time.
#ifdef _WIN32
#define RT_DIR_SEP "\\"
#define RT_LIST_SEP ";"
#else
#define RT_DIR_SEP "/"
#define RT_LIST_SEP ":"
#endif

// The platform's path limit; fixed path buffers have this size, the
// terminator included.
#define RT_PATH_MAX 260

// Looks up an environment variable; names match without regard to case.
// Returns null when it is not set. Points into the environment; valid until
// the variable next changes.
const char* rt_getenv(const char* name);

// Sets, replaces or removes a variable, as the runtime's _putenv does:
// "NAME=VALUE" sets NAME, "NAME=" removes it, and a string without "=" or with
// an empty name is refused. Names match without regard to case. Returns 0
// when done, -1 when refused or out of memory. Belongs to the environment
// after the call; never freed. A string that is refused, or that removes a
// variable, is not kept: the caller may free it after the call.
int rt_putenv(char* assignment);

// What a lookup that copies a value found.
#define RT_ENV_SET 0
#define RT_ENV_UNSET 1
#define RT_ENV_NOT_EXACT 2  // the value has no exact form in that text
#define RT_ENV_NO_MEMORY 3

// Copies the value of the variable name (code-page text) exactly as
// code-page text, after prefix, as a program must that hands it on in a
// vector, a command line or a path. On Windows the value is read in UTF-16,
// never through the runtime's narrow table, whose best-fit stand-ins could
// turn a character the code page lacks into a quote, a backslash or another
// folder. Returns RT_ENV_SET with *value a new string: prefix followed by the
// value; RT_ENV_NOT_EXACT when a character has no exact form in the active
// code page, with *value such a string for messages only, "?" standing for
// each such character; RT_ENV_UNSET (also for an empty name or one holding
// "=") or RT_ENV_NO_MEMORY with *value null. The caller frees *value with
// free().
int rt_getenv_exact(const char* name, const char* prefix, char** value);

// Reads count variables as rt_getenv_exact does, into one block: values[i]
// is prefixes[i] followed by the value of names[i], or by nothing when it is
// unset, and found[i] says which (RT_ENV_SET, RT_ENV_UNSET, or
// RT_ENV_NOT_EXACT with the copy for messages). Returns RT_ENV_SET, or
// RT_ENV_NO_MEMORY with nothing kept. count is at least 1; the block begins
// at values[0], and the caller frees values[0] alone.
int rt_getenv_exact_list(int count, const char* const* names,
                         const char* const* prefixes, int* found,
                         char** values);

// Frees what the layer keeps of an environment that is no longer the
// process's (on POSIX its own table of the entries, once it has set one):
// for a caller that has put an environment of its own in place, as a test
// harness does after clearenv(). Does nothing where the layer keeps nothing
// or where its table is still the environment.
void rt_env_release(void);

// Environment text: the text that the environment holds, which the
// functions below take and give. UTF-8 on Windows, whose environment is
// UTF-16, so that every character is kept; on POSIX the environment's own
// bytes.

// Copies the value of the variable name (environment text). Returns
// RT_ENV_SET with *value a new string; RT_ENV_NOT_EXACT when the value is no
// text of its kind (a lone UTF-16 surrogate); RT_ENV_UNSET or
// RT_ENV_NO_MEMORY. *value is null unless RT_ENV_SET; the caller frees it
// with free().
int rt_getenv_text(const char* name, char** value);

// Sets, replaces or removes a variable as rt_putenv does, from environment
// text: on Windows in UTF-16, so that the environment that children inherit
// holds exactly these characters. Does not keep assignment. Returns 0 when
// done; -1 when refused (no "=", an empty name, text that is not UTF-8 on
// Windows); -2 when out of memory, with nothing changed.
int rt_putenv_text(const char* assignment);

// Turns the len bytes of code-page text at text, which a terminator
// follows, into environment text. Where the two are the same (POSIX)
// returns text itself; otherwise a new string that the caller frees with
// free(). Null when out of memory.
char* rt_text_from_code_page(const char* text, size_t len);

// Makes the runtime's current environment table its initial one too, as the
// GUI entry needs before the program reads its environment. Does nothing
// where the platform has no such distinction.
void rt_publish_environment(void);

// Why rt_exe_path gives no path.
#define RT_EXE_PATH_UNKNOWN 1           // the platform does not tell it
#define RT_EXE_PATH_TOO_LONG 2          // it does not fit the buffer
#define RT_EXE_PATH_NOT_IN_CODE_PAGE 3  // a character has no exact form

// Writes the full path of the running executable into buf (size bytes, the
// terminator included, of which at most RT_PATH_MAX are used): the whole
// path, exactly, or nothing, never one cut short. On Windows it is read in
// UTF-16 and taken only when the active code page holds every character of
// it as it is. Returns 0, or one of the RT_EXE_PATH_ reasons with buf
// holding the empty string.
int rt_exe_path(char* buf, size_t size);

// Why a file call gives no file, or no directory: told by the call from
// what it met on its way, so that no caller need look at the path again.
#define RT_FILE_MISSING 1      // nothing is there, or the path cannot be used
#define RT_FILE_NOT_REGULAR 2  // a directory, a FIFO, a device is there
#define RT_FILE_NOT_DIR 3      // something other than a directory is there
#define RT_FILE_UNREADABLE 4   // a regular file that cannot be opened or read
#define RT_FILE_SHORT 5        // the file holds fewer bytes than asked for

// Finds the size in bytes of the regular file at path. Returns 0 and sets
// *size; RT_FILE_MISSING, or RT_FILE_NOT_REGULAR when something other than a
// regular file is there (a directory, a FIFO, a device), with *size
// untouched.
int rt_file_size(const char* path, unsigned long* size);

// Reads exactly size bytes from the start of the regular file at path into
// buf, without newline translation. Returns 0; RT_FILE_MISSING or
// RT_FILE_NOT_REGULAR as rt_file_size tells them; RT_FILE_UNREADABLE when
// the file cannot be opened or a read fails; RT_FILE_SHORT when it holds
// fewer bytes. Never waits for a writer, as opening a FIFO would.
int rt_read_file(const char* path, char* buf, unsigned long size);

// Opens the regular file at path for reading in binary mode. Returns 0 with
// *file the stream, which the caller closes with fclose(); or, with *file
// null, RT_FILE_MISSING, RT_FILE_NOT_REGULAR (a directory, a FIFO, a device)
// or RT_FILE_UNREADABLE (a regular file that cannot be opened). Never waits
// for a writer, as opening a FIFO would.
int rt_open_regular(const char* path, FILE** file);

// Opens the file at path for appending text, creating it when missing, when
// it is a regular file. Returns the stream, which the caller closes with
// fclose(); null when it cannot be opened or is not a regular file (a FIFO,
// a pipe, a device, a directory). Never waits for a reader, as opening or
// writing a FIFO or a pipe would.
FILE* rt_open_append(const char* path);

// Checks that path names an existing directory. A trailing separator is
// allowed ("C:\jdk\" is a directory when "C:\jdk" is). Returns 0;
// RT_FILE_MISSING (also for the empty string), or RT_FILE_NOT_DIR when
// something other than a directory is there.
int rt_check_dir(const char* path);

// Reads up to count bytes from standard input in binary mode (no newline
// translation, no end-of-file byte) and drops them, stopping early at the end
// of input or a read error. Returns the number of bytes dropped. Reads below
// the C library's stream buffer, so standard input must not have been read
// through stdin before.
unsigned long long rt_discard_input(unsigned long long count);

// Why rt_exec started nothing.
#define RT_EXEC_NOT_FOUND 1   // no program file of that name along the search
#define RT_EXEC_BATCH_FILE 2  // the search found only batch files (Windows)
#define RT_EXEC_TOO_LONG 3    // the command line or vector is over the limit
#define RT_EXEC_NO_MEMORY 4   // memory ran out while the start was prepared
#define RT_EXEC_REFUSED 5     // the platform's start call failed otherwise

// What rt_exec tells its caller about a start, for the caller's trace.
struct RtExecReport {
  // Called, when not null, just before a start that returns to the caller
  // (Windows): with the program file that the search found and the command
  // line exactly as it is started, in the code page. Where exec replaces the process, the
  // search is exec's own and this is not called. Both strings are borrowed;
  // not kept after the call.
  void (*starting)(const char* program, const char* command_line);
  // Called, when not null, when a program that runs as the caller's child
  // could not be tied to the caller's life and may outlive it: with the word
  // job-not-created or job-not-assigned. The program runs all the same.
  void (*untied)(const char* reason);
  // Set when rt_exec returns 1: one of the RT_EXEC_ reasons.
  int reason;
};

// Starts the program file, searched for along PATH as the runtime's exec call
// does, with the null-terminated vector argv: each entry is exactly one
// argument that the program receives, whatever its bytes. Where the platform
// can replace the process (POSIX exec), it does, handing the vector over as
// it is, and rt_exec returns only on failure. On Windows each entry is
// decoded once from the code page and written into the one UTF-16 command
// line by the runtime's quoting rules (rt_cmdline_put), so that no quote,
// blank or backslash in it can end the argument or start another. On Windows, whose exec
// call does not replace the process, it starts the program as a child that
// inherits the standard handles and, where the kernel can limit it, nothing
// else; the child is tied to the caller, so that it ends when the caller
// ends, however the caller ends. rt_exec waits for it, sets *status to its
// exit status and returns 0. The search passes over batch files, whose
// command line the command interpreter would parse again, and goes on along
// PATH; a command line longer than the platform's limit (RT_CMDLINE_MAX
// UTF-16 units with the terminator), which could otherwise arrive cut
// short, is not started. Returns 1 when the program is not started, with
// report->reason telling why (RT_EXEC_BATCH_FILE when only batch files were
// found). Borrowed; not kept after the call.
int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report);

#endif  // RT_RT_H_
