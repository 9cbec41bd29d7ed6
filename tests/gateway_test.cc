// The CGI gateway's parts in-process: the property arguments as the platform's
// start call needs them, and the error response when memory runs out.
#include "rmi/cgi/gateway.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "rt/cmdline.h"
#include "rt/rt.h"
#include "tests/support/argv_rules.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

namespace {

TEST(ExecArgTest, QuotesOnWindowsOnlyWhereTheValueNeedsIt) {
  struct {
    const char* value;
    const char* windows;  // the argument as written into the command line
  } cases[] = {
      // No quote and no trailing backslash: the plain -DNAME="value" form.
      {"", "-DX=\"\""},
      {"C:\\my dir\\file", "-DX=\"C:\\my dir\\file\""},
      // An embedded quote is escaped, with the backslashes before it doubled.
      {"a\"b", "-DX=\"a\\\"b\""},
      {"a\\\"b", "-DX=\"a\\\\\\\"b\""},
      // Backslashes before the closing quote are doubled.
      {"C:\\dir\\", "-DX=\"C:\\dir\\\\\""},
  };
  for (const auto& c : cases) {
    char* arg = rt_exec_arg("-DX=", c.value);
    ASSERT_NE(nullptr, arg);
#ifdef _WIN32
    EXPECT_STREQ(c.windows, arg) << c.value;
#else
    // exec hands the vector over unchanged: no quoting at all.
    EXPECT_EQ(std::string("-DX=") + c.value, arg);
#endif
    free(arg);
  }
}

TEST(QuoteValueTest, EveryValueComesBackAsOneArgumentUnderBothParserRules) {
  // UTF-16 units: 0x8868 is a CJK character (its code-page bytes may end in
  // 0x5C, but as a unit it is no backslash); 0xFF02 and 0xFF3C are the
  // full-width quote and backslash.
  const std::u16string values[] = {
      u"",         u"plain value", u"a\"b",           u"\"",
      u"\"\"",     u"\\",          u"end\\\\\\",      u"a\\\"b",
      u"a\\\\\"b", u"\\\"",        u"\" -cp evil \"", u"\\\" -Dx=1 \"",
      u"\t tab",   u"\x8868\\\"",  u"\xFF02\xFF3C\"", u"x\"\" \"\"y",
  };
  for (const std::u16string& value : values) {
    std::u16string line = u"java -DX=";
    std::vector<uint16_t> out(
        rt_quoted_length((const uint16_t*)value.data(), value.size()));
    size_t n =
        rt_quote_value((const uint16_t*)value.data(), value.size(), out.data());
    ASSERT_EQ(out.size(), n);
    line.append(out.begin(), out.end());
    line += u" next";
    for (ArgvRule rule : {kArgvOldRule, kArgvNewRule}) {
      std::vector<std::u16string> want = {u"java", u"-DX=" + value, u"next"};
      EXPECT_EQ(want, parse_command_line(line, rule))
          << "rule " << rule << ", value of " << value.size() << " units";
    }
  }
}

TEST(ContentLengthTest, OnlyDecimalDigitsThatFitAreALength) {
  struct {
    const char* value;
    bool number;
    unsigned long long length;
  } cases[] = {
      {"0", true, 0},
      {"007", true, 7},
      {"18446744073709551615", true, 18446744073709551615ull},
      {"18446744073709551616", false, 0},
      {nullptr, false, 0},
      {"", false, 0},
      {"12x", false, 0},
      {" 12", false, 0},
      {"12 ", false, 0},
      {"+12", false, 0},
      {"-1", false, 0},
      {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    unsigned long long length = 42;
    int rc = cgi_content_length(c.value, &length);
    EXPECT_EQ(c.number ? 0 : 1, rc) << (c.value ? c.value : "null");
    EXPECT_EQ(c.number ? c.length : 42, length) << (c.value ? c.value : "null");
  }
}

TEST(ExecVectorTest, AnyAllocationFailureGivesTheErrorResponse) {
  // Should the interpreter be started after all, the search finds nothing
  // rather than replacing the test.
  std::string empty = scratch_dir("gateway_no_java");
  ASSERT_TRUE(test_putenv("PATH=" + empty));
  // No request body to wait for.
  ASSERT_TRUE(test_putenv("CONTENT_LENGTH="));
  char name[] = "gatelet_g";
  char* argv[] = {name, nullptr};
  int n = 1;
  for (;; n++) {
    char** vector = nullptr;
    fault_fail_from(n);
    int rc = cgi_exec_vector(&vector);
    int made = fault_count();
    fault_fail_from(0);
    if (made < n) {
      // Every allocation succeeded.
      ASSERT_EQ(0, rc);
      cgi_free_vector(vector);
      break;
    }
    EXPECT_EQ(1, rc) << "allocation " << n;
    EXPECT_EQ(nullptr, vector) << "allocation " << n;

    ::testing::internal::CaptureStdout();
    fault_fail_from(n);
    int status = cgi_main(1, argv);
    fault_fail_from(0);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(1, status) << "allocation " << n;
    // The captured stream is read back in text mode: LF line ends.
    EXPECT_EQ(
        "Status: 500 Server Error: memory allocation failure\n"
        "Content-type: text/plain\n\n"
        "memory allocation failure",
        out)
        << "allocation " << n;
  }
  // The vector and each property argument, and on Windows the UTF-16 work
  // copies of each value.
  EXPECT_LE(1 + CGI_VARIABLE_COUNT, n - 1);
}

}  // namespace
