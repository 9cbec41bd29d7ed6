// The settings file reader and the helpers behind the library's exports:
// reading the [Environment] section, the settings directory, %NAME%
// expansion, and the places where the running program's settings and
// classes lie.
#ifndef TAVCORE_SETTINGS_H_
#define TAVCORE_SETTINGS_H_

#include <stddef.h>

// The settings file that the library reads.
#define TAV_SETTINGS_FILE "vorel.ini"

// The name that starts the library's trace lines.
#define TAV_TRACE_NAME "tavcore"

// How often one expansion inserts a settings directory that itself holds a
// "%". Such a directory can feed itself without end; past this count its
// references stay as they stand.
#define TAV_MAX_DIR_INSERTS 64

// Reads the file name in the directory part of directory (up to and including
// its last "\", "/" or ":") and puts every assignment of its [Environment]
// section into the environment. A line whose expansion would pass
// TAV_MAX_EXPANDED_LINE bytes is skipped whole, and reading goes on with the
// next. The file must be a regular one: a FIFO, a device or a directory is
// treated as missing. Returns 0 when the file was read to its end,
// whatever it held; 1 when it cannot be opened (nothing has changed) or when
// memory ran out (reading stopped there; earlier lines have been applied).
// Borrowed; not kept after the call. Not to be entered from two threads.
int tav_load_settings(const char* directory, const char* file_name);

// Makes the directory part of directory the settings directory that %@P%
// stands for, replacing any earlier one. Returns 0, or 1 when out of memory
// (the earlier one then stays). Borrowed; not kept after the call.
int tav_set_settings_dir(const char* directory);

// Releases the settings directory; %@P% then stands for the empty string.
void tav_release_settings_dir(void);

// The settings directory, or the empty string between reads. Never freed by
// the caller; valid until the settings directory next changes.
const char* tav_settings_dir(void);

// What %@P% stands for: the settings directory without its one trailing
// separator, in environment text (UTF-8 on Windows); the empty string
// between reads. Never freed by the caller; valid until the settings
// directory next changes.
const char* tav_settings_value(void);

// What tav_expand gives back.
enum {
  TAV_EXPAND_OK = 0,
  TAV_EXPAND_NO_MEMORY = 1,
  TAV_EXPAND_TOO_LARGE = 2,
  TAV_EXPAND_NOT_EXACT = 3
};

// Replaces every %NAME% reference in text (environment text), rescanning
// inserted text: by tav_lookup(NAME) when resolve is nonzero, by nothing
// otherwise. A
// reference whose replacement equals it without regard to case stays. Takes
// time in proportion to the text read and inserted. Returns TAV_EXPAND_OK
// and sets *result to a new string that the caller frees with free();
// TAV_EXPAND_TOO_LARGE when the result, or all the text inserted on the
// way, would pass limit bytes (SIZE_MAX sets no limit); TAV_EXPAND_NOT_EXACT
// when a variable's value has no exact form in environment text (a lone
// UTF-16 surrogate on Windows); TAV_EXPAND_NO_MEMORY when out of memory.
// *result is null on failure.
int tav_expand(const char* text, int resolve, size_t limit, char** result);

// The value that %name% stands for: tav_settings_value() when name is "@P"
// in any case, otherwise the value of the variable name upper-cased with its
// own references removed, or the empty string when it is not set. Returns a
// new string; the caller frees it with free(). Null when out of memory or
// when the value has no exact form.
char* tav_lookup(const char* name);

// Turns the ASCII lower-case letters of [begin, end) into upper case in
// place. No other byte changes: in UTF-8 and in double-byte code pages a
// byte of a longer character may look like a letter of another locale.
void tav_upper(char* begin, const char* end);

// Tells whether the n bytes at a and b are equal when ASCII letters are
// compared without regard to case. Returns 1 or 0.
int tav_same_text(const char* a, const char* b, size_t n);

// Writes the settings directory of the program at exe_path into buf (size
// bytes, the terminator included): the path cut after its last separator,
// followed by "..\..\bin\" ("../../bin/" on POSIX). Returns 0, or 1 with buf
// holding the empty string when the path has no separator or the result does
// not fit.
int tav_base_dir(const char* exe_path, char* buf, size_t size);

// tav_base_dir for the running process's main executable; also 1 when its
// path cannot be found.
int tav_program_base_dir(char* buf, size_t size);

// The class path value followed by base's classes folder and classes.zip
// archive: "VALUE;BASE\..\classes;BASE\..\lib\classes.zip" (":" and "/" on
// POSIX). A null value stands for "."; an empty base, which names no folder,
// gives the value alone. Returns a new string; the caller frees it with
// free(). Null when out of memory.
char* tav_extend_classpath(const char* value, const char* base);

#endif  // TAVCORE_SETTINGS_H_
