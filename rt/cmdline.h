// Command lines by the Windows runtime's rules, as pure string code on UTF-16
// code units: it builds on every platform, so tests reach it natively.
#ifndef RT_CMDLINE_H_
#define RT_CMDLINE_H_

#include <stddef.h>
#include <stdint.h>

// The platform's limit of one command line, in UTF-16 code units, the
// terminator included.
#define RT_CMDLINE_MAX 32767

// Tells how many code units rt_quote_value writes for value (len units).
size_t rt_quoted_length(const uint16_t* value, size_t len);

// Writes value enclosed in double quotes, so that the runtime's argument
// parser reads back exactly value as the rest of the argument that the
// quotes stand in: each embedded quote is escaped, and a run of backslashes
// is doubled where a quote (embedded or closing) follows it. A value with no
// quote that does not end in a backslash is written as it stands between
// the two quotes. Backslashes and quotes are counted as UTF-16 units, which
// is what the parser sees however the value was encoded before. out has room
// for rt_quoted_length(value, len) units; no terminator is written. Returns
// the number of units written.
size_t rt_quote_value(const uint16_t* value, size_t len, uint16_t* out);

// Tells how many code units rt_cmdline_put writes for arg (len units).
size_t rt_cmdline_length(const uint16_t* arg, size_t len);

// Writes one argument of a command line so that the runtime's parser reads
// back exactly arg as one argument. An argument that holds "=" after a name
// that needs no quotes is written as that name and "=", then the rest
// enclosed by rt_quote_value (so "-DX=a b" becomes -DX="a b"); any other
// argument stands as it is when it is not empty and holds no blank, tab or
// quote, and is enclosed whole otherwise. out has room for
// rt_cmdline_length(arg, len) units; no terminator is written. Returns the
// number of units written.
size_t rt_cmdline_put(const uint16_t* arg, size_t len, uint16_t* out);

// Builds the command line of count arguments (args[i] of lens[i] units),
// each written by rt_cmdline_put and separated by one blank, with a
// terminator. Returns 0 and sets *line to a new string that the caller
// frees with free(); 1 when the line with its terminator would pass
// RT_CMDLINE_MAX units; 2 when out of memory.
int rt_cmdline_build(const uint16_t* const* args, const size_t* lens,
                     size_t count, uint16_t** line);

#endif  // RT_CMDLINE_H_
