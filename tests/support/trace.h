// Reading what a program wrote to its trace, and running a program with and
// without it.
#ifndef TESTS_SUPPORT_TRACE_H_
#define TESTS_SUPPORT_TRACE_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/proc.h"

// A line of a trace, "SOURCE: " and tokens between blanks: bare words,
// values as the trace writes them, and fields NAME=WORD or NAME=VALUE. A
// word just before a value or a number takes it as a field of the word's
// name ("line 6", "expand \"@a\""); the values that no word takes are the
// fields "1", "2" and so on (the entries after count=N). A bare word or
// field word loses a trailing comma.
struct TraceLine {
  std::string source;
  std::vector<std::string> words;
  std::map<std::string, std::string> fields;
};

// The lines of text (LF or CR LF ends) that are trace lines from source,
// parsed; each other line is added to *stray when stray is not null.
std::vector<TraceLine> trace_lines(const std::string& text,
                                   const std::string& source,
                                   std::vector<std::string>* stray = nullptr);

// One traced step as a table row names it: entries "NAME=VALUE", a field
// that the line holds with this value, and "WORD", a word that it holds.
using Step = std::vector<std::string>;

// The step of a vector traced with its count: count=N and the entries as
// the fields "1" to "N".
Step vector_step(const std::vector<std::string>& entries);

// Succeeds when text holds a trace line from source for each step, in the
// order of the steps, and, with whole, no line that is not a trace line
// from source; on failure shows the trace.
::testing::AssertionResult has_steps(const std::string& text,
                                     const std::string& source,
                                     const std::vector<Step>& steps,
                                     bool whole = true);

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

// The runner of the trace tables: removes the trace file, expects the trace
// to change nothing as above, and expects has_steps of what the traced run
// wrote to its trace (its whole trace when that is a file or the run is
// quiet). Returns the trace.
std::string expect_traced_steps(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace,
    const std::string& source, const std::vector<Step>& steps,
    bool quiet = false);

#endif  // TESTS_SUPPORT_TRACE_H_
