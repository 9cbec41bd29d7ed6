// The runtime layer's environment calls: the Microsoft runtime's rules for
// names and removal, and, on POSIX, the C library's own calls in between.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "rt/rt.h"
#include "tests/support/proc.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace {

// The number of entries whose name is name in any case of its letters.
int spellings(const std::string& name) {
#ifdef _WIN32
  char** env = _environ;
#else
  char** env = environ;
#endif
  int n = 0;
  for (char** e = env; e && *e; e++) {
    n += strncasecmp(*e, name.c_str(), name.size()) == 0 &&
         (*e)[name.size()] == '=';
  }
  return n;
}

std::string value(const char* name) {
  const char* v = rt_getenv(name);
  return v ? v : "(unset)";
}

// Through rt_putenv, as every test does: true when done.
bool put(const char* assignment) {
  return test_putenv(assignment);
}

TEST(EnvTest, OneVariableANameInAnyCaseAndRemovalByAnEmptyValue) {
  const struct {
    const char* assignment;
    bool done;
    const char* name;
    const char* value;
    int spellings;
  } kSteps[] = {
      {"RTT_A=1", true, "rtt_a", "1", 1},
      {"rtt_a=2", true, "RTT_A", "2", 1},  // replaced, never a second one
      {"Rtt_A=", true, "RTT_A", "(unset)", 0},
      {"RTT_A=", true, "RTT_A", "(unset)", 0},  // removing nothing is done
      {"=x", false, "RTT_A", "(unset)", 0},
      {"RTT_A", false, "RTT_A", "(unset)", 0},
      {"RTT_A==x", true, "RTT_A", "=x", 1},
  };
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.assignment);
    EXPECT_EQ(s.done, put(s.assignment));
    EXPECT_EQ(s.value, value(s.name));
    EXPECT_EQ(s.spellings, spellings(s.name));
  }
}

TEST(EnvTest, AListOfVariablesComesInOneBlockEachAfterItsPrefix) {
  ASSERT_TRUE(put("RTT_L1=one"));
  ASSERT_TRUE(put("RTT_L3="));
  ASSERT_TRUE(put("rtt_l4=four"));
  const char* names[] = {"RTT_L1", "RTT_L2", "RTT_L3", "RTT_L4", "A=B"};
  const char* prefixes[] = {"-DRTT_L1=", "", "-D3=", "x", "y"};
  int found[5];
  char* values[5];
  ASSERT_EQ(RT_OK, rt_getenv_exact_list(5, names, prefixes, found,
                                             values));
  const struct {
    int found;
    const char* value;
  } kWant[] = {{RT_OK, "-DRTT_L1=one"}, {RT_UNSET, ""},
               {RT_UNSET, "-D3="}, {RT_OK, "xfour"},
               {RT_UNSET, "y"}};
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(kWant[i].found, found[i]);
    EXPECT_STREQ(kWant[i].value, values[i]);
    // One block, in the order of the names.
    EXPECT_EQ(i == 0 ? values[0] : values[i - 1] + strlen(values[i - 1]) + 1,
              values[i]);
  }
  free(values[0]);
}

#ifndef _WIN32
TEST(EnvTest, TheCLibrarysOwnChangesInBetweenAreKept) {
  ASSERT_TRUE(put("RTT_B=1"));
  // unsetenv shifts the entries of the table in place; setenv copies it.
  ASSERT_EQ(0, unsetenv("RTT_B"));
  ASSERT_TRUE(put("RTT_C=3"));
  ASSERT_EQ(0, setenv("RTT_D", "4", 1));
  ASSERT_TRUE(put("RTT_E=5"));
  ASSERT_TRUE(put("rtt_d=6"));
  EXPECT_EQ(nullptr, getenv("RTT_B"));
  EXPECT_STREQ("3", getenv("RTT_C"));
  EXPECT_EQ(nullptr, getenv("RTT_D"));
  EXPECT_STREQ("6", getenv("rtt_d"));
  EXPECT_STREQ("5", getenv("RTT_E"));
  EXPECT_EQ(1, spellings("RTT_D"));
  // Two spellings that the C library made are one variable here: a removal
  // takes both, a replacement leaves one.
  const struct {
    const char* assignment;
    int spellings;
    const char* value;
  } kSteps[] = {{"rtt_f=", 0, "(unset)"}, {"rtt_f=7", 1, "7"}};
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.assignment);
    ASSERT_EQ(0, setenv("Rtt_F", "1", 1));
    ASSERT_EQ(0, setenv("RTT_F", "2", 1));
    ASSERT_TRUE(put(s.assignment));
    EXPECT_EQ(s.spellings, spellings("RTT_F"));
    EXPECT_EQ(s.value, value("RTT_F"));
  }
}
#endif

}  // namespace
