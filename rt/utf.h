// Unicode text between UTF-16 and UTF-8, exactly or not at all: a lone
// surrogate has no UTF-8 form and is refused, never replaced. Plain code
// for every platform.
#ifndef RT_UTF_H_
#define RT_UTF_H_

#include <stddef.h>
#include <stdint.h>

#include "rt/outcome.h"

// The first and last units of the two halves of a UTF-16 surrogate pair.
#define RT_HIGH_SURROGATE 0xD800
#define RT_LOW_SURROGATE 0xDC00
#define RT_SURROGATE_END 0xE000

// Writes the code point cp (below 0x110000, no surrogate) as UTF-8 at out,
// which has room for 4 bytes. Returns the number of bytes written.
size_t rt_utf8_encode(uint32_t cp, char* out);

// Turns n UTF-16 units into a new UTF-8 string with a terminator. Returns
// RT_OK and sets *out, which the caller frees with free(); RT_NOT_TEXT when
// a surrogate stands alone; RT_NO_MEMORY. *out is null on failure.
int rt_utf8_from_utf16(const uint16_t* units, size_t n, char** out);

#endif  // RT_UTF_H_
