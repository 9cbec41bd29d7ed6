// The settings directory of a program and the extended class path, with the
// worked example of C:\P\Java\bin\tool.exe and its POSIX counterpart.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/location.h"
#include "tavcore/reading.h"
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

TEST(LocationTest, TheSettingsDirectoryEndsAtAWholeSeparator) {
  // 表 is 95 5C: its second byte is no separator.
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  TavReader reader;
  ASSERT_EQ(0, tav_reader_begin(&reader, "C:\\P\\\x83\x5C\x95\x5C.ini"));
  EXPECT_STREQ("C:\\P\\", reader.dir);
  tav_reader_end(&reader);
  rt_set_lead_test(before);
}
