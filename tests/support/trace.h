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

// A trace line, "SOURCE: " and tokens between blanks: bare words, values as
// the trace writes them, and fields NAME=WORD or NAME=VALUE. A word just
// before a value or a number also takes it as a field ("line 6", "expand
// \"@a\""); values that no word takes are the fields "1", "2" and so on
// (the entries after count=N). A bare word loses a trailing comma.
struct TraceLine {
  std::string source;
  std::vector<std::string> words;
  std::map<std::string, std::string> fields;
};

// A traced step as a table row names it: entries "NAME=VALUE", a field with
// this value, and "WORD", a word that the line holds.
using Step = std::vector<std::string>;

// The step of a vector traced with its count: count=N and fields 1 to N.
Step vector_step(const std::vector<std::string>& entries);

// Succeeds when text holds a trace line from source for each step, in the
// order of the steps, and with whole no other line; else shows the trace.
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

// The runner of the trace tables. Runs run with env, then with NORVANE_TRACE
// set to trace ("1" for standard error, or a file name), and expects the
// trace to change nothing: the same status, standard output and hand-over,
// the same standard error when the trace went to a file, and none untraced
// when quiet is set. With steps the trace (a file removed first) must hold
// them, as has_steps tells (whole for a file or a quiet run). Returns the
// trace's lines from source.
std::vector<TraceLine> expect_traced_steps(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace,
    const std::string& source = "", const std::vector<Step>& steps = {},
    bool quiet = false);

#endif  // TESTS_SUPPORT_TRACE_H_
