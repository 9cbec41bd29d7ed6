// The settings file reader: line reading, sections and assignments, Join and
// the settings directory, and allocation failures while a file is read.
#include "tavcore/reader.h"
#include "tavcore/reading.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "rt/path.h"
#include "rt/rt.h"
#include "tavcore/tavcore.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

using namespace std::string_literals;

// The value of name in UTF-8, as the UTF-16 environment holds it on
// Windows, or "(unset)". Names are case-sensitive on POSIX, so this also
// checks their spelling.
static std::string var(const char* name) {
  return env_utf8(name);
}

// text in UTF-16, little- or big-endian.
static std::string utf16(const std::u16string& text, bool big_endian) {
  std::string out;
  for (char16_t unit : text) {
    char high = (char)(unit >> 8);
    char low = (char)(unit & 0xFF);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  }
  return out;
}

// Writes bytes as the settings file of a new folder and reads it with
// TAVT_A unset and TAVT_B set to "old". Returns the reader's result.
static int load(const std::string& bytes, const std::string& folder) {
  std::string dir = scratch_dir(folder);
  write_file(dir + "vorel.ini", bytes);
  test_putenv("TAVT_A=");
  test_putenv("TAVT_B=old");
  return tav_load_settings(dir.c_str(), "vorel.ini");
}

TEST(SettingsTest, AppliesTheEnvironmentSectionByTheByteRules) {
  static const struct {
    const char* what;
    std::string file;
    const char* a;
    const char* b;
  } kCases[] = {
      {"exact header", "[Environment]\nTAVT_A=1\n", "1", "old"},
      {"header in any case", "[environment]\nTAVT_A=1\n", "1", "old"},
      {"header with blanks and words",
       "[ Environment ] trailing words\nTAVT_A=1\n", "1", "old"},
      {"longer name closes", "[Environment]\n[Environment2]\nTAVT_A=1\n",
       "(unset)", "old"},
      {"split name closes", "[Environment]\n[Env ironment]\nTAVT_A=1\n",
       "(unset)", "old"},
      {"header without ] closes", "[Environment]\n[Environment\nTAVT_A=1\n",
       "(unset)", "old"},
      {"lines before the first header", "TAVT_A=1\n[Environment]\nTAVT_B=2\n",
       "(unset)", "2"},
      {"other section ignored, second section applied",
       "[Environment]\nTAVT_A=1\n[Other]\nTAVT_A=2\n[ENVIRONMENT]\nTAVT_B=3",
       "1", "3"},
      {"comments, blank lines and a ; inside a value",
       "[Environment]\n\n \t\n  ; TAVT_B=x\nTAVT_A = x;y\n", "x;y", "old"},
      {"name upper-cased, value keeps its case",
       "[Environment]\ntavt_a=C:\\Mixed\n", "C:\\Mixed", "old"},
      {"white space around = and at the end",
       "[Environment]\n \t TAVT_A \t=  a b \t\n", "a b", "old"},
      {"empty value removes", "[Environment]\nTAVT_B =  \n", "(unset)",
       "(unset)"},
      {"refused lines are skipped", "[Environment]\nTAVT_B\n= x\nTAVT_A=1\n",
       "1", "old"},
      {"NUL padding and CR LF",
       "[\0E\0n\0v\0i\0r\0o\0n\0m\0e\0n\0t\0]\0\r\0\n\0"
       "T\0A\0V\0T\0_\0A\0=\0\x31\0\r\0\n\0"s,
       "1", "old"},
      {"last line without a line feed", "[Environment]\nTAVT_A=1", "1", "old"},
      {"Ctrl-Z at a line start ends the file",
       "[Environment]\n\x1a"
       "TAVT_A=1\n",
       "(unset)", "old"},
      {"Ctrl-Z after dropped bytes ends the file",
       "[Environment]\n\r\0\x1a"
       "TAVT_A=1\n"s,
       "(unset)", "old"},
      {"Ctrl-Z after a kept byte ends the line",
       "[Environment]\nTAVT_A=1\x1a"
       "TAVT_B=2\n",
       "1", "2"},
      {"later lines see earlier ones",
       "[Environment]\nTAVT_A=x\nTAVT_B=%tavt_a%y%\n", "x", "xy%"},
      {"headers are expanded", "[%TAVT_C%Environment]\nTAVT_A=1\n", "1", "old"},
      // A byte-order mark tells the encoding; every character is kept.
      {"UTF-8 with a mark",
       "\xEF\xBB\xBF[Environment]\nTAVT_A=\xE4\xB8\x8A\xE6\xB5\xB7\n"
       "tavt_b = Jos\xC3\xA9\n",
       "\xE4\xB8\x8A\xE6\xB5\xB7", "Jos\xC3\xA9"},
      {"UTF-16 LE with a mark: 0A 4E is no line feed",
       utf16(u"\uFEFF[Environment]\r\nTAVT_A=\u4E0A\u6D77\r\n"
             u"tavt_b = Jos\u00E9\r\n",
             false),
       "\xE4\xB8\x8A\xE6\xB5\xB7", "Jos\xC3\xA9"},
      {"UTF-16 BE with a mark, a pair of surrogates, NUL and Ctrl-Z units",
       utf16(u"\uFEFF[Environment]\nTAVT_A=\U0001D11E\0x\x1a"
             u"TAVT_B=2\n\x1aTAVT_B=3"s,
             true),
       "\xF0\x9D\x84\x9Ex", "2"},
      {"UTF-16 line with a lone surrogate is skipped",
       utf16(u"\uFEFF[Environment]\nTAVT_A=\xD800x\nTAVT_B=2\n", false),
       "(unset)", "2"},
      {"UTF-16 line ending in a high surrogate is skipped",
       utf16(u"\uFEFF[Environment]\nTAVT_A=x\xD834\nTAVT_B=2", false),
       "(unset)", "2"},
      {"UTF-16 line with a low surrogate alone is skipped",
       utf16(u"\uFEFF[Environment]\nTAVT_A=x\xDD1E\nTAVT_B=2\n", false),
       "(unset)", "2"},
      {"UTF-16 line ending in a pair applies",
       utf16(u"\uFEFF[Environment]\nTAVT_A=x\U0001D11E\n", false),
       "x\xF0\x9D\x84\x9E", "old"},
      // The longest expanded line is obeyed, one byte more is skipped; the
      // line itself is longer than what it expands to.
      {"header that expands to the limit closes the section",
       "[Environment]\n[%TAVT_B%" +
           std::string(TAV_MAX_EXPANDED_LINE - 5, 'x') + "]\nTAVT_A=1\n",
       "(unset)", "old"},
      {"header that expands past the limit is skipped",
       "[Environment]\n[%TAVT_B%" +
           std::string(TAV_MAX_EXPANDED_LINE - 4, 'x') + "]\nTAVT_A=1\n",
       "1", "old"},
      {"a mark's bytes elsewhere are code-page text",
       "[Environment]\n\xEF\xBB\xBFTAVT_A=1\nTAVT_B=2\n", "(unset)", "2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(load(c.file, "settings"), 0);
    EXPECT_EQ(var("TAVT_A"), c.a);
    EXPECT_EQ(var("TAVT_B"), c.b);
  }
}

TEST(SettingsTest, LongLineIsReadWhole) {
  std::string value(5000, 'v');
  EXPECT_EQ(load("[Environment]\nTAVT_A=" + value + "\n", "long"), 0);
  EXPECT_EQ(var("TAVT_A"), value);
}

TEST(SettingsTest, AppliesTheExampleSection) {
  std::string saved_path = var("PATH");
  std::string dir = scratch_dir("example");
  std::string p = dir.substr(0, dir.size() - 1);
  write_file(dir + "vorel.ini",
             "[Environment]\nPath = %@P%;%PATH%\ninclude=%@p%\\..\\include\n"
             "; a comment\nLib =\n");
  test_putenv("PATH=C:\\WINDOWS");
  test_putenv("LIB=x");
  EXPECT_EQ(tav_load_settings(dir.c_str(), "vorel.ini"), 0);
  std::string path = var("PATH");
  std::string include = var("INCLUDE");
  std::string lib = var("LIB");
  test_putenv("PATH=" + saved_path);
  test_putenv("INCLUDE=");
  EXPECT_EQ(path, p + ";C:\\WINDOWS");
  EXPECT_EQ(include, p + "\\..\\include");
  EXPECT_EQ(lib, "(unset)");
  // Once a read ends, its reader holds no %@P% value.
  TavReader reader;
  ASSERT_EQ(tav_reader_begin(&reader, dir.c_str()), 0);
  tav_reader_end(&reader);
  EXPECT_EQ(reader.at_p, nullptr);
}

TEST(SettingsTest, MissingOrIrregularFileChangesNothing) {
  std::string dir = scratch_dir("missing");
  std::string device = kNullDevice;
  size_t cut = device.rfind(kDirSep[0]) + 1;
  // Each with the reason that the open gives, which the reader traces.
  struct Case {
    std::string dir;
    std::string name;
    int why;
  };
  std::vector<Case> cases = {
      {dir, "vorel.ini", RT_NOT_FOUND},
      {dir, "folder", RT_NOT_REGULAR},
      {device.substr(0, cut), device.substr(cut), RT_NOT_REGULAR},
  };
  ASSERT_TRUE(make_dirs(dir + "folder"));
  // A FIFO without a writer must not hold the reader up.
  if (make_fifo(dir + "fifo")) {
    cases.push_back({dir, "fifo", RT_NOT_REGULAR});
  }
  if (make_unreadable_file(dir + "locked.ini")) {
    cases.push_back({dir, "locked.ini", RT_UNREADABLE});
  }
  test_putenv("TAVT_B=old");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tav_load_settings(c.dir.c_str(), c.name.c_str()), 1);
    EXPECT_EQ(var("TAVT_B"), "old");
    FILE* file;
    EXPECT_EQ(rt_open_regular((c.dir + c.name).c_str(), &file), c.why);
    EXPECT_EQ(file, nullptr);
  }
}

TEST(SettingsTest, LineThatExpandsPastTheLimitIsSkipped) {
  // The limit that vorel.ini(5) gives, which the table above sits on.
  EXPECT_EQ(32767, TAV_MAX_EXPANDED_LINE);
  // The value doubles on every line until it would pass the limit; the
  // section header made too long is skipped too, and the section stays open.
  std::string file = "[Environment]\nTAVT_A=" + std::string(16, 'x') + "\n";
  for (int i = 0; i < 40; i++) {
    file += "TAVT_A=%TAVT_A%%TAVT_A%\n";
  }
  file += "[Other] %TAVT_A%%TAVT_A%\nTAVT_B=after\n";
  EXPECT_EQ(load(file, "doubling"), 0);
  EXPECT_EQ(var("TAVT_A"), std::string(16384, 'x'));
  EXPECT_EQ(var("TAVT_B"), "after");
  test_putenv("TAVT_A=");
}

TEST(SettingsTest, AllocationFailureStopsTheRead) {
  std::string file =
      "[Environment]\nTAVT_A=" + std::string(250, 'a') + "\nTAVT_B=%TAVT_A%\n";
  std::string dir = scratch_dir("faults");
  write_file(dir + "vorel.ini", file);
  each_fault([&](const Fault& fault) {
    int rc = -1;
    bool struck = run_with_fault(
        fault, [&] { rc = tav_load_settings(dir.c_str(), "vorel.ini"); });
    SCOPED_TRACE(describe(fault));
    if (!struck) {
      EXPECT_EQ(rc, 0);
      return;
    }
    EXPECT_EQ(rc, 1);
    // The next read starts afresh.
    test_putenv("TAVT_B=");
    EXPECT_EQ(tav_load_settings(dir.c_str(), "vorel.ini"), 0);
    EXPECT_EQ(var("TAVT_B"), std::string(250, 'a'));
  });
}

TEST(SettingsTest, JoinAndDirectoryPart) {
  static const struct {
    const char* directory;
    const char* part;
    std::string joined;
  } kCases[] = {
      {"", "", "vorel.ini"},
      {"bin", "", "vorel.ini"},
      {"C:\\P\\bin\\", "C:\\P\\bin\\", "C:\\P\\bin\\vorel.ini"},
      {"C:\\P\\bin", "C:\\P\\", "C:\\P\\vorel.ini"},
      {"/p/bin/", "/p/bin/", "/p/bin/vorel.ini"},
      {"C:bin", "C:", "C:vorel.ini"},
      {"a/b\\c:d", "a/b\\c:", "a/b\\c:vorel.ini"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.directory);
    TavReader reader;
    ASSERT_EQ(tav_reader_begin(&reader, c.directory), 0);
    EXPECT_STREQ(reader.dir, c.part);
    char* joined = rt_path_join(reader.dir, "vorel.ini");
    EXPECT_EQ(joined, c.joined);
    free(joined);
    tav_reader_end(&reader);
  }
  char* joined = rt_path_join("d", "f");
  EXPECT_EQ(joined, "d"s + kDirSep + "f");
  free(joined);
}
