// The trace module in-process: each value escaped onto its line, the
// directives, a trace file that is appended to, and the gateway's reason when
// memory runs out. The variable is read once per process, so every test here
// names the same file before its first line; the longest file name is tried
// on the gateway run as a program.
#include "rt/trace.h"

#include <gtest/gtest.h>

#include <string>

#include "rmi/cgi/gateway.h"
#include "rt/rt.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"
#include "tests/support/trace.h"

namespace {

std::string trace_file() {
  static const std::string file = scratch_dir("trace_unit") + "trace.log";
  static const bool set = test_putenv("NORVANE_TRACE=" + file);
  EXPECT_TRUE(set);
  return file;
}

TEST(TraceTest, WritesEachValueEscapedOnOneLineAndAppends) {
  const struct {
    const char* value;
    const char* written;
  } kCases[] = {
      {"plain", "\"plain\""},
      {"", "\"\""},
      {"two  blanks ", "\"two  blanks \""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\dir\\", "\"C:\\\\dir\\\\\""},
      {"line\nfeed\r", "\"line\\x0Afeed\\x0D\""},
      {"\t\x1b\x7f~", "\"\\x09\\x1B\\x7F~\""},
      {"\xc3\xa9\xff", "\"\\xC3\\xA9\\xFF\""},
      {"\\x41", "\"\\\\x41\""},
      {nullptr, "unset"},
  };
  std::string file = trace_file();
  ASSERT_TRUE(write_file(file, "earlier line\n"));
  ASSERT_EQ(1, rt_trace_on());
  std::string want = "earlier line\n";
  for (const auto& c : kCases) {
    rt_trace("unit", "value %q end", c.value);
    want += text_mode(std::string("unit: value ") + c.written + " end\n");
  }
  char a[] = "a b";
  char empty[] = "";
  char* vector[] = {a, empty};
  rt_trace("unit", "n=%d u=%u w=%s 100%% %v", -3, 4000000000ul, "word", 2,
           vector);
  want +=
      text_mode("unit: n=-3 u=4000000000 w=word 100% count=2 \"a b\" \"\"\n");
  // A source or word with a line feed still stays on its line.
  rt_trace("un\nit", "%s", "two\nlines");
  want += text_mode("un\\x0Ait: two\\x0Alines\n");
  // The variable was read once; a later change is not seen.
  ASSERT_TRUE(test_putenv("NORVANE_TRACE="));
  rt_trace("unit", "still traced");
  want += text_mode("unit: still traced\n");
  EXPECT_EQ(want, read_file(file));
}

TEST(TraceTest, GatewayTracesWhyNothingStartedWhenMemoryRunsOut) {
  std::string file = trace_file();
  ASSERT_TRUE(test_putenv("PATH=" + scratch_dir("trace_no_java")));
  char name[] = "gatelet_g";
  char* argv[] = {name, nullptr};
  // Whichever allocation fails, the trace tells why nothing started.
  each_fault([&](const Fault& fault) {
    remove_file(file);
    int status = -1;
    ::testing::internal::CaptureStdout();
    bool struck = run_with_fault(fault, [&] { status = cgi_main(1, argv); });
    ::testing::internal::GetCapturedStdout();
    SCOPED_TRACE(describe(fault));
    EXPECT_EQ(1, status);
    EXPECT_TRUE(has_steps(read_file(file), "gatelet_g",
                          {{"interpreter", struck ? "reason=out-of-memory"
                                                  : "reason=not-found"}}));
  });
}

TEST(TraceTest, FileNameOfThePathLimitOrLongerTurnsTracingOff) {
  // Relative names made long by "." folders, which the system folds away.
  std::string dir = scratch_dir("trace_length");
  const struct {
    size_t length;
    bool traced;
  } kCases[] = {{RT_PATH_MAX - 1, true}, {RT_PATH_MAX, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.length);
    std::string file = c.length % 2 ? "t.log" : "tt.log";
    std::string name = file;
    while (name.size() < c.length) {
      name = "." + (kDirSep + name);
    }
    ASSERT_EQ(c.length, name.size());
    remove_file(dir + file);
    RunResult r = run_program(
        "gatelet_g", {}, {Set("PATH", dir), Set("NORVANE_TRACE", name)}, dir);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(c.traced, !read_file(dir + file).empty());
  }
}

}  // namespace
