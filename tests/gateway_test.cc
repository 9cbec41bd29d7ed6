// The CGI gateway's parts in-process: the request body's length, and the
// error response when memory runs out.
#include "rmi/cgi/gateway.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "rt/rt.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

namespace {

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
    EXPECT_EQ(c.number ? RT_OK
              : c.value ? RT_LENGTH_NOT_A_NUMBER
                        : RT_NO_LENGTH,
              rc)
        << (c.value ? c.value : "null");
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
  int made = each_fault([&](const Fault& fault) {
    char** vector = nullptr;
    int rc = -1;
    bool struck = run_with_fault(fault, [&] { rc = cgi_exec_vector(&vector); });
    SCOPED_TRACE(describe(fault));
    if (!struck) {
      ASSERT_EQ(0, rc);
      cgi_free_vector(vector);
      return;
    }
    EXPECT_EQ(RT_NO_MEMORY, rc);
    EXPECT_EQ(nullptr, vector);

    int status = -1;
    ::testing::internal::CaptureStdout();
    run_with_fault(fault, [&] { status = cgi_main(1, argv); });
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(1, status);
    // The captured stream is read back in text mode: LF line ends.
    EXPECT_EQ(
        "Status: 500 Server Error: memory allocation failure\n"
        "Content-type: text/plain\n\n"
        "memory allocation failure",
        out);
  });
  // The vector and the block of its properties, and on Windows the copy and
  // the UTF-16 work copies of each value.
  EXPECT_LE(2, made);
}

}  // namespace
