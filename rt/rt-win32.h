// What the Windows files of the runtime layer share: text between the active
// code page and UTF-16, and the UTF-16 environment. Not for code outside rt/.
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

#endif  // RT_RT_WIN32_H_
