// The key tool launcher's parts in-process: the launch vector, the class path
// formats, and the checked allocator under allocation failure.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rt/rt.h"
#include "security/keytool.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

namespace {

// A path or class path written with Windows separators, in this platform's.
std::string native(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += kDirSep;
    } else if (c == ';') {
      out += kListSep;
    } else {
      out += c;
    }
  }
  return out;
}

struct VectorCase {
  std::vector<std::string> args;      // after the program name
  std::vector<std::string> expected;  // after the head of three entries
};

TEST(LaunchVectorTest, MovesVmOptionsBeforeTheClassAndKeepsTheRestInOrder) {
  const std::string kClass = "sun.security.provider.Main";
  const VectorCase cases[] = {
      {{}, {kClass}},
      {{"-list", "-J-mx32m", "-Dx=1", "-v"},
       {"-mx32m", "-Dx=1", kClass, "-list", "-v"}},
      // After the tool's own arguments, and first.
      {{"-list", "-v", "-Da=1", "-Jx"}, {"-Da=1", "x", kClass, "-list", "-v"}},
      {{"-Jfirst", "-list"}, {"first", kClass, "-list"}},
      // Their order among themselves is kept.
      {{"-Dz=3", "a", "-Jb", "c", "-Da=1"},
       {"-Dz=3", "b", "-Da=1", kClass, "a", "c"}},
      // A bare -J gives an empty entry; a bare -D is moved whole.
      {{"-J", "-D"}, {"", "-D", kClass}},
      {{"-J-Dx=1", "-DJ"}, {"-Dx=1", "-DJ", kClass}},
      // Lower case and undashed look-alikes stay with the tool.
      {{"-d", "-j", "J", "D", "--D"}, {kClass, "-d", "-j", "J", "D", "--D"}},
  };
  for (const VectorCase& c : cases) {
    std::vector<char*> argv;
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "quillan_g");
    for (std::string& a : args) {
      argv.push_back(&a[0]);
    }
    argv.push_back(nullptr);
    int count = -1;
    char** vector =
        sec_launch_vector((int)args.size(), argv.data(), "H", &count);
    std::vector<std::string> got(vector, vector + count);
    std::vector<std::string> want = {"java_g", "-ms8m", "-Djava.home=H"};
    want.insert(want.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(want, got) << "with " << args.size() - 1 << " arguments";
    free(vector[2]);
    free(vector);
  }
}

TEST(ClassPathTest, PutsAnOldValueFirstEvenWhenEmpty) {
  const std::string dir = native("C:\\J\\bin");
  const std::string beside = native(
      "C:\\J\\bin\\..\\classes;C:\\J\\bin\\..\\lib\\classes.zip;"
      "C:\\J\\bin\\..\\lib\\rt.jar");
  struct {
    const char* old;
    std::string expected;
  } cases[] = {
      {nullptr, "CLASSPATH=" + beside},
      {"", "CLASSPATH=" + native(";") + beside},
      {"C:\\old;D:\\x.zip",
       "CLASSPATH=C:\\old;D:\\x.zip" + native(";") + beside},
  };
  for (const auto& c : cases) {
    char* text = sec_class_path(c.old, dir.c_str());
    EXPECT_EQ(c.expected, text) << (c.old ? c.old : "(unset)");
    free(text);
  }
}

TEST(ClassPathTest, FitsTheLongestDirectoryAndALongOldValue) {
  std::string dir(RT_PATH_MAX - 1, 'd');
  std::string old(5000, 'o');
  char* text = sec_class_path(old.c_str(), dir.c_str());
  std::string got = text;
  free(text);
  EXPECT_EQ(10 + old.size() + 3 * dir.size() + 3 + 11 + 19 + 14, got.size());
  EXPECT_EQ(native("rt.jar"), got.substr(got.size() - 6));
}

// The test framework's own clean-up at exit allocates too; injected faults
// end with the launcher.
void disarm_faults() {
  fault_fail_from(0);
}

TEST(CheckedAllocatorDeathTest, EveryAllocationStopsTheLauncherWithTheMessage) {
  ASSERT_TRUE(test_putenv("JAVAI_G_RECORD="));
  ASSERT_TRUE(test_putenv("JAVA_HOME="));
  ASSERT_TRUE(test_putenv("JAVAI_G_STATUS=42"));
  char name[] = "quillan_g";
  char option[] = "-J-mx32m";
  char* argv[] = {name, option, nullptr};
  // A whole run here counts the allocations: the class path and its copy in
  // the environment (on Windows the UTF-16 work copies too), the Java home,
  // the vector and the java.home property. Each one is checked; with all of
  // them granted the VM runs and its status ends the process.
  ASSERT_TRUE(test_putenv("CLASSPATH="));
  fault_fail_from(0);
  ASSERT_EQ(42, sec_main(2, argv));
  const int made = fault_count();
  ASSERT_TRUE(test_putenv("CLASSPATH="));
  EXPECT_LE(5, made);
  for (int n = 1; n <= made; n++) {
    EXPECT_EXIT(
        {
          atexit(disarm_faults);
          fault_fail_from(n);
          sec_main(2, argv);
        },
        ::testing::ExitedWithCode(1), "Not enough memory to start quillan")
        << "allocation " << n;
  }
  EXPECT_EXIT(
      {
        atexit(disarm_faults);
        fault_fail_from(made + 1);
        exit(sec_main(2, argv));
      },
      ::testing::ExitedWithCode(42), "vector count=5");
}

TEST(CheckedAllocatorDeathTest, MemoryRunsOutBeforeJavaHomeIsExamined) {
  ASSERT_TRUE(test_putenv("JAVAI_G_RECORD="));
  ASSERT_TRUE(test_putenv("JAVA_HOME=no such folder"));
  char name[] = "quillan_g";
  char* argv[] = {name, nullptr};
  EXPECT_EXIT(
      {
        atexit(disarm_faults);
        fault_fail_from(1);
        sec_main(1, argv);
      },
      ::testing::ExitedWithCode(1), "Not enough memory to start quillan");
  EXPECT_EXIT(exit(sec_main(1, argv)), ::testing::ExitedWithCode(1),
              "Invalid JAVA_HOME: no such folder");
}

}  // namespace
