// Expansion of %NAME% references: rescanning, %@P%, values whose own
// references are removed, self-feeding settings directories and allocation
// failures.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "rt/path.h"
#include "tavcore/expand.h"
#include "tavcore/reading.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

static std::string expand_in(const char* at_p, const std::string& text,
                             int resolve, size_t limit) {
  char* out;
  int rc = tav_expand(text.c_str(), resolve, at_p, limit, &out);
  std::string result = rc == RT_EXPANDS_PAST_LIMIT ? "(too large)"
                       : out                      ? out
                                                  : "(null)";
  EXPECT_EQ(rc == RT_OK, out != nullptr);
  free(out);
  return result;
}

class ExpandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_putenv("TAVT_X=50%");
    test_putenv("TAVT_R=a%TAVT_X%b");
    test_putenv("TAVT_REST=");
    test_putenv("TAVT_Y=");
    test_putenv("@P=not consulted");
    dir_ = std::string(kDirSep) + "p" + kDirSep + "bin";
    begin(dir_ + kDirSep);
  }
  void TearDown() override {
    tav_reader_end(&reader_);
    test_putenv("@P=");
  }
  // Makes the directory part of directory the one that %@P% stands for.
  void begin(const std::string& directory) {
    tav_reader_end(&reader_);
    ASSERT_EQ(tav_reader_begin(&reader_, directory.c_str()), 0);
  }
  std::string expand(const std::string& text, int resolve,
                     size_t limit = SIZE_MAX) {
    return expand_in(reader_.at_p, text, resolve, limit);
  }
  std::string dir_;
  TavReader reader_ = {nullptr, nullptr, nullptr, 0, 0, nullptr};
};

TEST_F(ExpandTest, ReplacesReferencesAndRescansInsertedText) {
  static const struct {
    const char* text;
    const char* resolved;
    const char* removed;
  } kCases[] = {
      {"%TAVT_X%TAVT_REST%Y%", "50Y%", "TAVT_REST"},
      {"%tavt_x%", "50%", ""},
      {"a%b", "a%b", "a%b"},
      {"100%%", "100", "100"},
      {"%%%", "%", "%"},
      {"%TAVT_Y%x%TAVT_REST%y", "xy", "xy"},
      {"%TAVT_R%", "ab", ""},
      {"a%TAVT_Y%c%", "ac%", "ac%"},
      {"", "", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expand(c.text, 1), c.resolved);
    EXPECT_EQ(expand(c.text, 0), c.removed);
  }
}

TEST_F(ExpandTest, SettingsDirectoryWithoutItsTrailingSeparator) {
  EXPECT_EQ(expand("%@P%", 1), dir_);
  EXPECT_EQ(expand("%@p%" + std::string(kDirSep) + "x", 1),
            dir_ + kDirSep + "x");
  char* looked_up = tav_lookup("@p", reader_.at_p);
  EXPECT_EQ(looked_up, dir_);
  free(looked_up);
  // Only one separator is dropped, and only the platform's own.
  begin("C:x:");
  EXPECT_EQ(expand("%@P%", 1), "C:x:");
  begin("");
  EXPECT_EQ(expand("[%@P%]", 1), "[]");
}

TEST_F(ExpandTest, SelfFeedingSettingsDirectoryEnds) {
  std::string sep = kDirSep;
  // A replacement that equals its reference without regard to case stays.
  begin("%@p%" + sep);
  EXPECT_EQ(expand("%@P%", 1), "%@P%");
  // A reference that stays inserts nothing.
  EXPECT_EQ(expand("%@P%%@p%", 1, 8), "%@P%%@p%");
  // One that holds the reference inside longer text is inserted a bounded
  // number of times; the reference then stays.
  begin("x%@P%y" + sep);
  std::string many_x(TAV_MAX_DIR_INSERTS, 'x');
  std::string many_y(TAV_MAX_DIR_INSERTS, 'y');
  EXPECT_EQ(expand("<%@P%>", 1), "<" + many_x + "%@P%" + many_y + ">");
}

TEST(UpperTest, CodePageTextKeepsItsDoubleByteCharactersWhole) {
  // In 932, 83 61 is one character; 83 before a blank stands alone.
  static const struct {
    const char* text;
    int code_page;
    const char* upper;
  } kCases[] = {
      {"a\x83" "a", 1, "A\x83" "a"},
      {"a\x83 a", 1, "A\x83 A"},
      {"a\x83" "a", 0, "A\x83" "A"},
  };
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  for (const auto& c : kCases) {
    std::string text = c.text;
    tav_upper(&text[0], text.data() + text.size(), c.code_page);
    EXPECT_EQ(text, c.upper) << c.text;
  }
  rt_set_lead_test(before);
}

TEST_F(ExpandTest, LimitBoundsTheResultAndTheInsertedText) {
  static const struct {
    const char* text;
    size_t limit;
    const char* result;
  } kCases[] = {
      {"ab%TAVT_X%", 5, "ab50%"},
      {"ab%TAVT_X%", 4, "(too large)"},
      {"abcdef", 5, "(too large)"},
      {"%TAVT_Y%%TAVT_Y%", 0, ""},
      // The "%" of each inserted "50%" opens a reference that takes text
      // away again; all inserted text counts.
      {"%TAVT_X%TAVT_REST%%TAVT_X%TAVT_REST%", 6, "5050"},
      {"%TAVT_X%TAVT_REST%%TAVT_X%TAVT_REST%", 5, "(too large)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(expand(c.text, 1, c.limit), c.result);
  }
}

TEST_F(ExpandTest, AllocationFailureGivesNull) {
  each_fault([&](const Fault& fault) {
    char* out = nullptr;
    bool struck = run_with_fault(fault, [&] {
      tav_expand("%TAVT_R%-%@P%-%TAVT_X%", 1, reader_.at_p, SIZE_MAX, &out);
    });
    SCOPED_TRACE(describe(fault));
    std::string result = out ? out : "(null)";
    free(out);
    EXPECT_EQ(result, struck ? "(null)" : "ab-" + dir_ + "-50%");
  });
}
