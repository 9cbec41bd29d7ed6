// What the Windows files of the runtime layer share: text between the active
// code page and UTF-16, the UTF-16 environment, and the parts of a start. Not for code outside rt/.
#ifndef RT_RT_WIN32_H_
#define RT_RT_WIN32_H_

#include <windows.h>

#include <stddef.h>

// The flags for turning UTF-16 into the active code page: no best-fit
// stand-ins, which could turn a character the code page lacks into a quote,
// a backslash or another name.
DWORD rt_narrow_flags(void);

// Decodes len bytes of the active code page into a new UTF-16 string with a
// terminator; *units gets its length without the terminator. Returns null
// when out of memory or when the text is too long for the conversion.
// Returns a new string; the caller frees it with free().
wchar_t* rt_widen(const char* text, size_t len, int* units);

// Encodes units UTF-16 units into the active code page at out (size bytes),
// with a terminator. Returns the length written without the terminator;
// -1 when a character has no exact form in the code page, -2 when the text
// and its terminator do not fit.
int rt_narrow_exact(const wchar_t* text, int units, char* out, size_t size);

// Copies the value of the variable name from the kernel's UTF-16
// environment. Returns RT_ENV_SET with *value a new string that the caller
// frees with free(); RT_ENV_UNSET or RT_ENV_NO_MEMORY with *value null.
int rt_getenv_wide(const wchar_t* name, wchar_t** value);

// What rt_search_program found.
enum {
  RT_FOUND_NONE,
  RT_FOUND_PROGRAM,
  RT_FOUND_BATCH,
  RT_FOUND_NO_MEMORY
};

// Searches for the program file as the runtime's exec call does: the name
// itself first, then, when it holds no directory part, each folder of PATH
// in order, trying the runtime's extensions. PATH is read in UTF-16; a
// folder that the code page cannot name exactly is passed over, never
// searched under the name of its best-fit stand-in. Batch files are passed
// over. Returns RT_FOUND_PROGRAM with found (RT_PATH_MAX bytes) filled,
// RT_FOUND_BATCH when only batch files match, RT_FOUND_NONE or
// RT_FOUND_NO_MEMORY.
int rt_search_program(const char* file, char* found);

// Starts the program app with the command line cmdline, suspended, giving it
// the standard handles and, where the kernel can limit it, nothing else.
// Returns 1 when it started, with pi filled; 0 otherwise.
int rt_start_suspended(const wchar_t* app, wchar_t* cmdline,
                       PROCESS_INFORMATION* pi);

#endif  // RT_RT_WIN32_H_
