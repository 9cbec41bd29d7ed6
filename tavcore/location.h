// Where the running program's settings and classes lie: the settings
// directory beside its executable, the settings file in it, and the class
// path extended by the product's classes.
#ifndef TAVCORE_LOCATION_H_
#define TAVCORE_LOCATION_H_

#include <stddef.h>

#include "rt/rt.h"

// The settings file that the library reads in the settings directory.
#define TAV_SETTINGS_FILE "vorel.ini"

// Writes the settings directory of the program at exe_path into buf (size
// bytes, the terminator included): the path cut after its last separator,
// followed by "..\..\bin\" ("../../bin/" on POSIX). Returns 0, or 1 with buf
// holding the empty string when the path has no separator or the result does
// not fit.
int tav_base_dir(const char* exe_path, char* buf, size_t size);

// The size of a buffer for the settings directory of the running program:
// its path is shorter than RT_PATH_MAX units, each of which takes at most
// three bytes of environment text, and "..\..\bin\" follows.
#define TAV_BASE_DIR_MAX (3 * RT_PATH_MAX + 16)

// tav_base_dir for the running process's main executable, in environment
// text, read in UTF-16 on Windows; also 1 when its path cannot be found.
int tav_program_base_dir(char* buf, size_t size);

// The settings directory base (environment text) as code-page text, for a
// caller that takes code-page text: exactly, or with the program's folder
// by its short name where the code page lacks a character of it. Returns
// RT_OK with *cp a new string that the caller frees with free();
// RT_NOT_IN_CODE_PAGE with *cp the form for messages; RT_NO_MEMORY with
// *cp null. An empty base gives the empty string.
int tav_base_in_code_page(const char* base, char** cp);

// The class path value followed by base's classes folder and classes.zip
// archive: "VALUE;BASE\..\classes;BASE\..\lib\classes.zip" (":" and "/" on
// POSIX). A null value stands for "."; an empty base, which names no folder,
// gives the value alone. Returns a new string; the caller frees it with
// free(). Null when out of memory.
char* tav_extend_classpath(const char* value, const char* base);

#endif  // TAVCORE_LOCATION_H_
