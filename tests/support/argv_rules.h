// A model of the Windows runtime's command-line parser, on UTF-16 text, for
// checking that quoted command lines come back as the arguments they were
// built from.
#ifndef TESTS_SUPPORT_ARGV_RULES_H_
#define TESTS_SUPPORT_ARGV_RULES_H_

#include <string>
#include <vector>

// The two rules for "" inside a quoted part: the older runtime takes it as a
// literal quote and ends the quoted part, the newer one (from 2008 on) takes
// it as a literal quote and stays inside.
enum ArgvRule { kArgvOldRule, kArgvNewRule };

// Splits a command line as the runtime does before main: the program name
// (quotes toggle, no backslash rules), then the arguments.
std::vector<std::u16string> parse_command_line(const std::u16string& line,
                                               ArgvRule rule);

// Widens bytes one by one (Latin-1), for tests whose text is ASCII.
std::u16string widen(const std::string& bytes);

#endif  // TESTS_SUPPORT_ARGV_RULES_H_
