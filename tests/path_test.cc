// Paths read a character at a time: the directory part, a trailing
// separator and a join, under a model of a double-byte code page.
#include "rt/path.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/support/proc.h"

namespace {

TEST(PathTest, SeparatorsAreWholeCharactersUnderADoubleByteCodePage) {
  // ソ is 83 5C and 表 is 95 5C: their second byte is no separator.
  static const struct {
    const char* path;
    size_t dir_length;  // up to and including the last "\", "/" or ":"
    bool ends_in_sep;
    const char* seps = kRtDirSeps;
  } kCases[] = {
      {"C:\\P\\\x83\x5C\x95\x5C.exe", 5, false},
      {"C:\\\x83\x5C\\bin\\\x83\x5C", 10, false},
      {"C:\\\x83\x5C\\", 6, true},
      {"\x83\x5C", 0, false},
      {"a\\\x83\\", 2, false},
      {"a/b\x83", 2, false},  // a lead byte at the end stands alone
      {"a\x83/b", 3, false},  // and before a byte that follows none
      {"x:\x95\x5C", 2, false},
      {"", 0, false},
      // A second byte is 0x40 or above: 81 40 is one character, 81 3F two.
      {"a\x81\x40", 0, false, "@"},
      {"a\x81?", 3, true, "?"},
  };
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.dir_length, rt_path_dir_length(c.path, c.seps));
    EXPECT_EQ(c.ends_in_sep,
              rt_path_ends_in(c.path, strlen(c.path), c.seps) != 0);
  }
  EXPECT_EQ(1, rt_double_byte("\x81\x40", "\x81\x40" + 2));
  EXPECT_EQ(0, rt_double_byte("\x81?", "\x81?" + 2));
  // The trimmed form and a join.
  EXPECT_EQ(4u, rt_path_trimmed_length("C:\\P\\", "\\"));
  EXPECT_EQ(5u, rt_path_trimmed_length("C:\\\x83\x5C", "\\"));
  char* joined = rt_path_join("C:\\\x83\x5C", "vorel.ini");
  EXPECT_STREQ((std::string("C:\\\x83\x5C") + kDirSep + "vorel.ini").c_str(),
               joined);
  free(joined);
  // Without double-byte characters each byte stands alone.
  rt_set_lead_test(test_no_lead);
  EXPECT_EQ(5u, rt_path_dir_length("C:\\\x83\x5C", kRtDirSeps));
  EXPECT_EQ(4u, rt_path_trimmed_length("C:\\\x83\x5C", "\\"));
  rt_set_lead_test(before);
}

}  // namespace
