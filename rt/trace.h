// The opt-in trace that every program and the environment library write when
// NORVANE_TRACE is set: one line per step, values escaped so that each line
// reads back unambiguously.
#ifndef RT_TRACE_H_
#define RT_TRACE_H_

#include "rt/outcome.h"

// The variable that switches the trace on. Unset or empty: no trace. "1":
// lines go to standard error. Any other value names a file that lines are
// appended to (created when missing, never truncated); only a regular file
// takes them: a FIFO, a pipe, a device or a directory drops every line.
#define RT_TRACE_VARIABLE "NORVANE_TRACE"

// Tells whether tracing is on. The variable is looked up once per process,
// on the first call of any trace function; later changes are not seen. A
// file name of RT_PATH_MAX bytes or more turns tracing off. Returns 1 or 0.
int rt_trace_on(void);

// Writes one line when tracing is on: source (the program's or library's
// name), ": ", then format with its directives replaced, then a line feed.
// A trace file is opened, written and closed for each line, so no handle
// stays open for a started program to inherit; a file that cannot be opened
// loses the line and changes nothing else. Directives:
//   %s  a word of the program's own (an event, a reason), as it stands
//   %q  a value: in double quotes, with '"' and '\' escaped by a backslash
//       and every byte below 0x20 or above 0x7e written as \xHH (two
//       upper-case hex digits); a null value is written as the word unset
//   %d  an int; %u an unsigned long; %U an unsigned long long
//   %v  an int count and a char* const* array: "count=N" followed by the
//       count entries, each written as %q, separated by blanks
//   %%  a percent sign
// So a line feed never occurs inside a line and blanks stay inside quotes.
// Borrowed; not kept after the call.
void rt_trace(const char* source, const char* format, ...);

#endif  // RT_TRACE_H_
