// The settings directory of a program and the extended class path, with the
// worked example of C:\P\Java\bin\tool.exe and its POSIX counterpart.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/location.h"
#include "tavcore/reader.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

#ifdef _WIN32
static const char kTool[] = "C:\\P\\Java\\bin\\tool.exe";
static const char kBase[] = "C:\\P\\Java\\bin\\..\\..\\bin\\";
static const char kEntries[] =
    "C:\\P\\Java\\bin\\..\\..\\bin\\\\..\\classes;"
    "C:\\P\\Java\\bin\\..\\..\\bin\\\\..\\lib\\classes.zip";
static const char kValue[] = "C:\\A;C:\\B";
#else
static const char kTool[] = "/P/Java/bin/tool";
static const char kBase[] = "/P/Java/bin/../../bin/";
static const char kEntries[] =
    "/P/Java/bin/../../bin//../classes:"
    "/P/Java/bin/../../bin//../lib/classes.zip";
static const char kValue[] = "/A:/B";
#endif

static std::string base_dir(const std::string& exe, size_t size, int* rc) {
  char buf[2 * RT_PATH_MAX];
  *rc = tav_base_dir(exe.c_str(), buf, size);
  return buf;
}

TEST(LocationTest, SettingsDirectoryFromTheExecutable) {
  int rc;
  EXPECT_EQ(base_dir(kTool, RT_PATH_MAX, &rc), kBase);
  EXPECT_EQ(rc, 0);
  // No separator: nothing is cut through.
  EXPECT_EQ(base_dir("tool.exe", RT_PATH_MAX, &rc), "");
  EXPECT_EQ(rc, 1);
  // The result and its terminator fill the buffer exactly, or overflow it
  // by one byte.
  std::string up =
      std::string("..") + kDirSep + ".." + kDirSep + "bin" + kDirSep;
  std::string folder(RT_PATH_MAX - 1 - up.size(), 'd');
  folder.back() = kDirSep[0];
  EXPECT_EQ(base_dir(folder + "tool.exe", RT_PATH_MAX, &rc), folder + up);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(base_dir("d" + folder + "tool.exe", RT_PATH_MAX, &rc), "");
  EXPECT_EQ(rc, 1);
}

TEST(LocationTest, ExtendedClasspath) {
  static const struct {
    const char* value;
    const char* base;
    std::string expected;
  } kCases[] = {
      {nullptr, kBase, std::string(".") + kListSep + kEntries},
      {kValue, kBase, std::string(kValue) + kListSep + kEntries},
      {"", kBase, std::string(kListSep) + kEntries},
      {kValue, "", kValue},
      {nullptr, "", "."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    char* path = tav_extend_classpath(c.value, c.base);
    EXPECT_EQ(path, c.expected);
    free(path);
  }
  fault_fail_from(1);
  char* path = tav_extend_classpath(kValue, kBase);
  fault_fail_from(0);
  EXPECT_EQ(path, nullptr);
}

TEST(LocationTest, SeparatorsAreWholeCharactersUnderADoubleByteCodePage) {
  // ソ is 83 5C and 表 is 95 5C: their second byte is no separator.
  static const struct {
    const char* path;
    size_t dir_length;  // up to and including the last "\", "/" or ":"
    bool ends_in_sep;
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
  };
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(c.dir_length, rt_path_dir_length(c.path, kRtDirSeps));
    EXPECT_EQ(c.ends_in_sep,
              rt_path_ends_in(c.path, strlen(c.path), kRtDirSeps) != 0);
  }
  // Where the settings directory and its trimmed form come from.
  TavReader reader;
  ASSERT_EQ(0, tav_reader_begin(&reader, "C:\\P\\\x83\x5C\x95\x5C.ini"));
  EXPECT_STREQ("C:\\P\\", reader.dir);
  tav_reader_end(&reader);
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
