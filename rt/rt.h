// The runtime layer: every platform service the launchers use, with the
// Microsoft C runtime's behaviour as the contract on every platform.
#ifndef RT_RT_H_
#define RT_RT_H_

#include <stddef.h>
#include <stdio.h>

#include "rt/outcome.h"

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

// The lookups below that copy a value give RT_OK, RT_UNSET,
// RT_NOT_IN_CODE_PAGE or RT_NOT_TEXT (the value has no exact form in the
// text asked for) or RT_NO_MEMORY.

// Copies the value of the variable name (environment text, below) exactly
// as code-page text, after prefix, as a program must that hands it on in a
// vector, a command line or a path. On Windows the value is read in UTF-16,
// never through the runtime's narrow table, whose best-fit stand-ins could
// turn a character the code page lacks into a quote, a backslash or another
// folder. Returns RT_OK with *value a new string: prefix followed by the
// value; RT_NOT_IN_CODE_PAGE when a character has no exact form in the active
// code page, with *value such a string for messages only, "?" standing for
// each such character; RT_UNSET (also for an empty name or one holding
// "=") or RT_NO_MEMORY with *value null. The caller frees *value with
// free().
int rt_getenv_exact(const char* name, const char* prefix, char** value);

// Reads count variables as rt_getenv_exact does, into one block: values[i]
// is prefixes[i] followed by the value of names[i], or by nothing when it is
// unset, and found[i] says which (RT_OK, RT_UNSET, or
// RT_NOT_IN_CODE_PAGE with the copy for messages). Returns RT_OK, or
// RT_NO_MEMORY with nothing kept. count is at least 1; the block begins
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
// RT_OK with *value a new string; RT_NOT_TEXT when the value is no
// text of its kind (a lone UTF-16 surrogate); RT_UNSET or
// RT_NO_MEMORY. *value is null unless RT_OK; the caller frees it
// with free().
int rt_getenv_text(const char* name, char** value);

// Copies the value of the variable name (ASCII) as environment text into
// buf (size bytes, the terminator included) without allocating anything, as
// the trace must, so that it changes nothing of what a program allocates.
// Returns RT_OK; RT_UNSET; RT_NOT_TEXT when the value is no
// text of its kind or does not fit, with buf holding the empty string.
int rt_getenv_text_into(const char* name, char* buf, size_t size);

// Sets, replaces or removes a variable as rt_putenv does, from environment
// text: on Windows in UTF-16, so that the environment that children inherit
// holds exactly these characters. Does not keep assignment. Returns RT_OK;
// RT_REFUSED (no "=", an empty name, text that is not UTF-8 on Windows);
// RT_NO_MEMORY with nothing changed.
int rt_putenv_text(const char* assignment);

// Tells whether environment text and code-page text are the same bytes:
// 1 on POSIX, 0 on Windows, whose environment text is UTF-8.
int rt_text_is_code_page(void);

// A conversion between code-page text and exact text gives RT_OK;
// RT_NOT_TEXT (towards environment text) or RT_NOT_IN_CODE_PAGE (towards
// the code page) when there is no exact form; or RT_NO_MEMORY.

// Turns the len bytes of code-page text at cp, which a terminator follows,
// into environment text. Bytes that are no text in the code page (a lead
// byte without its second byte, a byte the code page leaves undefined) are
// never replaced: they make the conversion fail. Returns RT_OK with
// *text the result: cp itself where the two texts are the same (POSIX),
// otherwise a new string that the caller frees with free();
// RT_NOT_TEXT or RT_NO_MEMORY with *text null.
int rt_text_from_code_page(const char* cp, size_t len, char** text);

// Turns environment text into code-page text, after prefix, as it leaves
// for a consumer that takes code-page text. Returns RT_OK with *cp
// a new string; RT_NOT_IN_CODE_PAGE when the code page lacks a character,
// with *cp the form for messages ("?" for each such character);
// RT_NO_MEMORY with *cp null. The caller frees *cp with free().
int rt_code_page_from_text(const char* text, const char* prefix, char** cp);

// rt_code_page_from_text for a path to something that exists: where the
// code page cannot hold the path, its short (8.3) form names the same file
// and is taken when the code page holds that exactly (Windows). Returns as
// rt_code_page_from_text does.
int rt_code_page_path(const char* path, const char* prefix, char** cp);

// The program's arguments. On Windows they are taken from the UTF-16
// command line, split by msvcrt's rules (rt_cmdline_split), and every
// unquoted argument that holds "*" or "?" is replaced by the names that
// match it, in the order found, its folder part kept; a pattern that
// matches nothing stays as written. Each argument becomes code-page text
// exactly; a match that the code page cannot name exactly becomes its short
// (8.3) name when the code page holds that. Any other argument that the
// code page cannot hold stands in the list in its form for messages ("?"
// for each character the code page lacks), and rt_arg_not_in_code_page
// tells it apart. On POSIX the list stays as main received it. Returns
// RT_OK with *argc and *argv the list, null-terminated, or RT_NO_MEMORY
// (both untouched). Never freed; lives until the process exits.
int rt_args(int* argc, char*** argv);

// Tells whether arg, an entry of the list rt_args gave, is an argument that
// the code page cannot hold: then returns 1 and sets *exact to its exact
// text (environment text), or to null when it has none (a lone UTF-16
// surrogate). Returns 0 for every other string.
int rt_arg_not_in_code_page(const char* arg, const char** exact);

// Makes the runtime's current environment table its initial one too, as the
// GUI entry needs before the program reads its environment. Does nothing
// where the platform has no such distinction.
void rt_publish_environment(void);

// Sets *path to the full path of the running executable, in environment
// text: the whole path, exactly, or nothing, never one cut short. On
// Windows it is read in UTF-16 and fits when it is shorter than RT_PATH_MAX
// units and, where the code page holds it, its code-page form is shorter
// than RT_PATH_MAX bytes; on POSIX when it is shorter than RT_PATH_MAX
// bytes. Returns RT_OK with *path a new string that the caller frees with
// free(); RT_PATH_UNKNOWN (the platform does not tell it), RT_PATH_TOO_LONG
// or RT_NO_MEMORY with *path null.
int rt_exe_path(char** path);

// Paths given to the file calls below are environment text: on Windows
// they are opened by their exact UTF-16 names.

// Why a file call gives no file, or no directory, is told by the call that
// failed, from the open handle or the one error it gave, so that no caller
// need look at the path again: RT_NOT_FOUND (nothing is there, or the path
// cannot be used), RT_NOT_REGULAR, RT_NOT_DIR, RT_UNREADABLE (a regular
// file that cannot be opened, or read whole), RT_TOO_LARGE, RT_NO_MEMORY.

// Reads the whole regular file at path, without newline translation: opens
// it once, takes its size and type from the open file, and reads that many
// bytes into a new buffer of size + 1 bytes, the last of them a
// terminator. Returns RT_OK with *text (the caller frees it with free()) and
// *size set; RT_TOO_LARGE with *size set when the file holds more
// than limit bytes; RT_NOT_FOUND, RT_NOT_REGULAR (a directory, a
// FIFO, a device), RT_UNREADABLE (also for a file that held fewer bytes
// than its size) or RT_NO_MEMORY.
// *text is null unless RT_OK. Never waits for a writer, as opening a FIFO would.
int rt_read_whole(const char* path, unsigned long limit, char** text,
                  unsigned long* size);

// Opens the regular file at path for reading in binary mode. Returns RT_OK with
// *file the stream, which the caller closes with fclose(); or, with *file
// null, RT_NOT_FOUND, RT_NOT_REGULAR (a directory, a FIFO, a device)
// or RT_UNREADABLE (a regular file that cannot be opened). Never waits
// for a writer, as opening a FIFO would.
int rt_open_regular(const char* path, FILE** file);

// Opens the file at path (shorter than RT_PATH_MAX bytes) for appending
// text, creating it when missing, when it is a regular file; allocates
// nothing but the stream. Returns the stream, which the caller closes with
// fclose(); null when it cannot be opened or is not a regular file (a FIFO,
// a pipe, a device, a directory). Never waits for a reader, as opening or
// writing a FIFO or a pipe would.
FILE* rt_open_append(const char* path);

// Checks that path names an existing directory. A trailing separator is
// allowed ("C:\jdk\" is a directory when "C:\jdk" is). Returns RT_OK;
// RT_NOT_FOUND (also for the empty string), or RT_NOT_DIR when
// something other than a directory is there.
int rt_check_dir(const char* path);

// Reads up to count bytes from standard input in binary mode (no newline
// translation, no end-of-file byte) and drops them, stopping early at the end
// of input or a read error. Returns the number of bytes dropped. Reads below
// the C library's stream buffer, so standard input must not have been read
// through stdin before.
unsigned long long rt_discard_input(unsigned long long count);

// Why rt_exec started nothing: RT_NOT_FOUND (no program file of that name
// along the search), RT_BATCH_FILE (only batch files, on Windows),
// RT_COMMAND_LINE_TOO_LONG (the command line or vector is over the limit),
// RT_NO_MEMORY, RT_REFUSED (the platform's start call failed otherwise),
// RT_NOT_TEXT (an entry is no text in the code page, on Windows).

// What rt_exec tells its caller about a start, for the caller's trace.
struct RtExecReport {
  // Called, when not null, just before a start that returns to the caller
  // (Windows): with the program file that the search found and the command
  // line exactly as it is started, in the code page. Where exec replaces
  // the process, the search is exec's own and this is not called. Both
  // strings are borrowed; not kept after the call.
  void (*starting)(const char* program, const char* command_line);
  // Called, when not null, when a program that runs as the caller's child
  // could not be tied to the caller's life and may outlive it: with
  // RT_JOB_NOT_CREATED or RT_JOB_NOT_ASSIGNED. The program runs all the
  // same.
  void (*untied)(int why);
};

// Starts the program file, searched for along PATH as the runtime's exec call
// does, with the null-terminated vector argv: each entry is exactly one
// argument that the program receives, whatever its bytes. Where the platform
// can replace the process (POSIX exec), it does, handing the vector over as
// it is, and rt_exec returns only on failure. On Windows the program is
// searched for and started by its exact UTF-16 path; each entry is
// decoded once from the code page and written into the one UTF-16 command
// line by the runtime's quoting rules (rt_cmdline_put), so that no quote,
// blank or backslash in it can end the argument or start another. On
// Windows, whose exec call does not replace the process, it starts the
// program as a child that inherits the standard handles and, where the
// kernel can limit it, nothing else; the child is tied to the caller, so
// that it ends when the caller ends, however the caller ends. rt_exec waits
// for it, sets *status to its exit status and returns RT_OK. The search
// passes over batch files, whose command line the command interpreter would
// parse again, and goes on along PATH; a command line longer than the
// platform's limit (RT_CMDLINE_MAX UTF-16 units with the terminator), which
// could otherwise arrive cut short, is not started. When the program is not
// started, returns why (RT_BATCH_FILE when only batch files were found).
// Borrowed; not kept after the call.
int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report);

#endif  // RT_RT_H_
