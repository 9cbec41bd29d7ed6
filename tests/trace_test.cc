// The trace module in-process: each value escaped onto its line, the
// directives, and a trace file that is appended to. The variable is read once
// per process, so this binary sets it before the first line.
#include "rt/trace.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/proc.h"

namespace {

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
  std::string file = scratch_dir("trace_unit") + "trace.log";
  ASSERT_TRUE(write_file(file, "earlier line\n"));
  ASSERT_TRUE(test_putenv("NORVANE_TRACE=" + file));
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

}  // namespace
