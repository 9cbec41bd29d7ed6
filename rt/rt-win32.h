// What the Windows files of the runtime layer share: text between the active
// code page, UTF-16 and environment text, the UTF-16 environment, and the
// parts of a start. Not for code outside rt/.
#ifndef RT_RT_WIN32_H_
#define RT_RT_WIN32_H_

#include <windows.h>

#include <stddef.h>

#include "rt/outcome.h"

// The flags for turning UTF-16 into the active code page: no best-fit
// stand-ins, which could turn a character the code page lacks into a quote,
// a backslash or another name.
DWORD rt_narrow_flags(void);

// Decodes len bytes of the active code page into a new UTF-16 string with a
// terminator; *units gets its length without the terminator. Bytes that are
// no text in the code page fail the decode. Returns RT_OK with *out
// set, which the caller frees with free(); RT_NOT_TEXT or RT_NO_MEMORY
// with *out null.
int rt_widen(const char* text, size_t len, wchar_t** out, int* units);

// Decodes environment text (UTF-8) strictly into a new UTF-16 string.
// Returns as rt_widen does.
int rt_wide_from_text(const char* text, wchar_t** out);

// Turns units UTF-16 units into a new string of environment text. Returns
// RT_OK with *text set, which the caller frees with free();
// RT_NOT_TEXT (a lone surrogate) or RT_NO_MEMORY with *text null.
int rt_text_from_wide(const wchar_t* wide, size_t units, char** text);

// Encodes units UTF-16 units into the active code page at out (size bytes),
// with a terminator. Returns the length written without the terminator;
// -1 when a character has no exact form in the code page, -2 when the text
// and its terminator do not fit.
int rt_narrow_exact(const wchar_t* text, int units, char* out, size_t size);

// Copies prefix and units UTF-16 units into a new code-page string: the
// text exactly (RT_OK), or with "?" for each character that the
// code page lacks, for messages (RT_NOT_IN_CODE_PAGE); RT_NO_MEMORY with
// *cp null. The caller frees *cp with free().
int rt_code_page_copy(const wchar_t* wide, size_t units, const char* prefix,
                      char** cp);

// The short (8.3) form of the existing path, after prefix, when the code
// page holds it exactly. Returns RT_OK with *cp a new string that
// the caller frees with free(); RT_NOT_IN_CODE_PAGE (no short form, or one
// the code page lacks) or RT_NO_MEMORY with *cp null.
int rt_short_code_page(const wchar_t* path, const char* prefix, char** cp);

// Copies the value of the variable name from the kernel's UTF-16
// environment. Returns RT_OK with *value a new string that the caller
// frees with free(); RT_UNSET or RT_NO_MEMORY with *value null.
int rt_getenv_wide(const wchar_t* name, wchar_t** value);

// Searches for the program file as the runtime's exec call does, in
// UTF-16: the name itself first, then, when it holds no directory part,
// each folder of PATH in order, trying the runtime's extensions. Batch
// files are passed over. Returns RT_OK with *found a new string,
// the exact path, which the caller frees with free(); RT_BATCH_FILE when
// only batch files match, RT_NOT_FOUND or RT_NO_MEMORY.
int rt_search_program(const wchar_t* file, wchar_t** found);

// Starts the program app with the command line cmdline, suspended, giving it
// the standard handles and, where the kernel can limit it, nothing else.
// Returns 1 when it started, with pi filled; 0 otherwise.
int rt_start_suspended(const wchar_t* app, wchar_t* cmdline,
                       PROCESS_INFORMATION* pi);

#endif  // RT_RT_WIN32_H_
