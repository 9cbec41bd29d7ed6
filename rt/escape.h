// Escaping text so that it stays on its line and reads back unambiguously:
// the form in which the trace writes its words and values, and the stand-ins
// their records. Plain code for every platform; nothing is allocated.
#ifndef RT_ESCAPE_H_
#define RT_ESCAPE_H_

#include <stdio.h>

// How rt_put_escaped writes text: as a word of the program's own, or as a
// value in double quotes.
#define RT_ESCAPE_WORD 0
#define RT_ESCAPE_VALUE 1

// Writes the escaped form of byte c into out, NUL-terminated (at most four
// bytes before the NUL): a byte below 0x20 or above 0x7e as \xHH (two
// upper-case hex digits), with how RT_ESCAPE_VALUE '"' and '\' after a
// backslash, every other byte as it is. Returns the form's length.
int rt_escape_byte(unsigned char c, int how, char out[5]);

// Writes text to out, every byte as rt_escape_byte gives it; with how
// RT_ESCAPE_VALUE in double quotes, and a null text as the word unset.
// Borrowed; not kept after the call.
void rt_put_escaped(FILE* out, const char* text, int how);

#endif  // RT_ESCAPE_H_
