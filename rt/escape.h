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

// Writes text to out with every byte below 0x20 or above 0x7e as \xHH (two
// upper-case hex digits). With how RT_ESCAPE_VALUE the text stands in double
// quotes, with '"' and '\' after a backslash. A null text is written as the
// word unset. Borrowed; not kept after the call.
void rt_put_escaped(FILE* out, const char* text, int how);

#endif  // RT_ESCAPE_H_
