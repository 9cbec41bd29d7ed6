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

#endif  // RT_CMDLINE_H_
