// Reading what a program wrote to its trace.
#ifndef TESTS_SUPPORT_TRACE_H_
#define TESTS_SUPPORT_TRACE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/proc.h"

// A value as the trace writes it: in double quotes, '"' and '\' after a
// backslash, other bytes outside printable ASCII as \xHH.
std::string traced(const std::string& value);

// Succeeds when every line of want is a whole line of the trace text (LF or
// CR LF line ends), in the order given; on failure lists the trace.
::testing::AssertionResult has_lines(const std::string& text,
                                     const std::vector<std::string>& want);

// One run of a program under test: what it wrote and what it handed on (the
// stand-in's record, as text).
struct Observed {
  RunResult result;
  std::string handed;
};

// Runs run with env as given, then with NORVANE_TRACE set to trace ("1" for
// standard error, or a file name), and expects the trace to change nothing:
// the same status, standard output and hand-over, the same standard error
// when the trace went to a file, and nothing on standard error untraced
// when quiet is set. Returns the traced run.
Observed expect_trace_changes_nothing(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace,
    bool quiet = false);

#endif  // TESTS_SUPPORT_TRACE_H_
