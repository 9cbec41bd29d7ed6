// Command lines by the Windows runtime's rules, as pure string code on UTF-16
// code units: it builds on every platform, so tests reach it natively.
#ifndef RT_CMDLINE_H_
#define RT_CMDLINE_H_

#include <stddef.h>
#include <stdint.h>

#include "rt/outcome.h"

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
// terminator. Returns RT_OK and sets *line to a new string that the caller
// frees with free(); RT_COMMAND_LINE_TOO_LONG when the line with its
// terminator would pass RT_CMDLINE_MAX units; RT_NO_MEMORY.
int rt_cmdline_build(const uint16_t* const* args, const size_t* lens,
                     size_t count, uint16_t** line);

// One argument that rt_cmdline_split found: its units at out + start, len
// of them, a terminator after them; quoted is 1 when a quote in it opened or
// closed a quoted part (an escaped quote does not count), which exempts it
// from wildcard expansion.
struct RtCmdArg {
  size_t start;
  size_t len;
  int quoted;
};

// Splits the command line line (len units) as msvcrt's start-up code does:
// first the program name, in which quotes toggle and backslashes are plain
// text; then the arguments, separated by blanks and tabs outside quotes,
// where 2n backslashes before a quote give n and the quote acts, 2n + 1 give
// n and a literal quote, other backslashes stand as written, and "" inside
// a quoted part gives a literal quote and ends that part. A NUL unit ends the
// line. out has room for 2 * len + 2 units and args for len / 2 + 2 entries;
// both are filled. Returns the number of entries, the program name first;
// at least 1.
size_t rt_cmdline_split(const uint16_t* line, size_t len, uint16_t* out,
                        RtCmdArg* args);

#endif  // RT_CMDLINE_H_
