// Reading what a program wrote to its trace.
#ifndef TESTS_SUPPORT_TRACE_H_
#define TESTS_SUPPORT_TRACE_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A value as the trace writes it: in double quotes, '"' and '\' after a
// backslash, other bytes outside printable ASCII as \xHH.
std::string traced(const std::string& value);

// Succeeds when every line of want is a whole line of the trace text (LF or
// CR LF line ends), in the order given; on failure lists the trace.
::testing::AssertionResult has_lines(const std::string& text,
                                     const std::vector<std::string>& want);

#endif  // TESTS_SUPPORT_TRACE_H_
