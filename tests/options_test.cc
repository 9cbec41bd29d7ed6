// The loader's option scan and the launch vectors it builds, run in-process
// against the stand-in VM library.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "loader/loader.h"
#include "rt/rt.h"
#include "tests/support/proc.h"
#include "tests/support/record.h"

namespace {

using Words = std::vector<std::string>;

const char kName[] = "-Dnorvane.plume.remote.vm.name=";
const char kAgent[] = "norvane.tools.debug.Agent";
const char kEmptyApp[] = "norvane.tools.debug.EmptyApp";

struct Launch {
  int status;
  std::vector<Call> calls;
  std::string out;
};

// Runs loader main on "kestrel" followed by args, recording the VM calls.
Launch launch(const Words& args) {
  static const std::string record =
      scratch_dir("options_record") + "record.txt";
  static bool once = [] {
    return test_putenv("JAVAI_G_RECORD=" + record);
  }();
  EXPECT_TRUE(once);
  remove_file(record);
  std::vector<std::string> strings = {"kestrel"};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) {
    argv.push_back(strdup(s.c_str()));
  }
  argv.push_back(nullptr);
  Launch result;
  ::testing::internal::CaptureStdout();
  result.status = ldr_main((int)strings.size(), argv.data());
  fflush(stdout);
  result.out = ::testing::internal::GetCapturedStdout();
  result.calls = read_record(record);
  for (char* s : argv) {
    free(s);
  }
  return result;
}

struct VectorCase {
  Words args;
  Words vector;
};

const VectorCase kVectorCases[] = {
    {{"-classpath", "C:\\work", "Hello", "a", "b"},
     {"kestrel", "-debug", std::string(kName) + "Hello", "-classpath",
      "C:\\work", kAgent, "Hello", "a", "b"}},
    {{"-name", "Demo", "-verbose"},
     {"kestrel", "-debug", std::string(kName) + "Demo", "-verbose",
      kEmptyApp}},
    {{}, {"kestrel", "-debug", kEmptyApp}},
    // "-name" wins over the class; the last "-name" wins; empty is accepted.
    {{"-name", "N", "Hello", "x"},
     {"kestrel", "-debug", std::string(kName) + "N", kAgent, "Hello", "x"}},
    {{"-name", "A", "-v", "-name", "B", "Hello"},
     {"kestrel", "-debug", std::string(kName) + "B", "-v", kAgent, "Hello"}},
    {{"-name", "", "Hello"},
     {"kestrel", "-debug", kName, kAgent, "Hello"}},
    // A value option as the last element is accepted.
    {{"-classpath"}, {"kestrel", "-debug", "-classpath", kEmptyApp}},
    {{"-debugport"}, {"kestrel", "-debug", "-debugport", kEmptyApp}},
    {{"-classpath", "-verbose", "Hi"},
     {"kestrel", "-debug", std::string(kName) + "Hi", "-classpath",
      "-verbose", kAgent, "Hi"}},
    // "-name" is dropped with the element after it wherever it stands.
    {{"-classpath", "-name", "Hello"},
     {"kestrel", "-debug", std::string(kName) + "Hello", "-classpath"}},
    {{"Hello", "-name", "x", "y"},
     {"kestrel", "-debug", std::string(kName) + "Hello", kAgent, "Hello",
      "y"}},
    {{"Hello", "-name"},
     {"kestrel", "-debug", std::string(kName) + "Hello", kAgent, "Hello"}},
    // The class is recognised by position, not by text.
    {{"Hello", "Hello"},
     {"kestrel", "-debug", std::string(kName) + "Hello", kAgent, "Hello",
      "Hello"}},
    {{""}, {"kestrel", "-debug", kName, kAgent, ""}},
    {{"-noagent", "Hello"},
     {"kestrel", "-debug", std::string(kName) + "Hello", "-noagent", kAgent,
      "Hello"}},
    // Every accepted option is passed on as written.
    {{"-v", "-verbose", "-noasyncgc", "-verbosegc", "-noclassgc", "-verify",
      "-verifyremote", "-noverify", "-tracegc", "-debugport", "-x", "-ms16m",
      "-mx64m", "-ss256k", "-oss400k", "-Dprop=value", "-msx", "-D", "C"},
     {"kestrel", "-debug", std::string(kName) + "C", "-v", "-verbose",
      "-noasyncgc", "-verbosegc", "-noclassgc", "-verify", "-verifyremote",
      "-noverify", "-tracegc", "-debugport", "-x", "-ms16m", "-mx64m",
      "-ss256k", "-oss400k", "-Dprop=value", "-msx", "-D", kAgent, "C"}},
    // The Java program's own arguments are not options.
    {{"Hello", "-bogus", "-help"},
     {"kestrel", "-debug", std::string(kName) + "Hello", kAgent, "Hello",
      "-bogus", "-help"}},
    // An argument whose expansion failed becomes the class.
    {{"@no_such_variable_or_file"},
     {"kestrel", "-debug", std::string(kName) + "@no_such_variable_or_file",
      kAgent, "@no_such_variable_or_file"}},
};

std::string joined(const Words& words) {
  std::string s;
  for (const std::string& w : words) {
    s += "[" + w + "]";
  }
  return s;
}

TEST(LaunchTest, BuildsTheDebugLaunchVector) {
  for (const VectorCase& c : kVectorCases) {
    Launch l = launch(c.args);
    EXPECT_EQ(c.vector, one_call(l.calls)) << joined(c.args);
    EXPECT_EQ(0, l.status) << joined(c.args);
  }
}

TEST(LaunchTest, UsageErrorsNeverStartTheVm) {
  const Words cases[] = {
      {"-help"},         {"-verbosegcx"},     {"-vv"},
      {"-Verbose"},      {"-"},               {"-name"},
      {"-v", "-name"},   {"-name", "-v", "x"}, {"-classpath", "a", "-X"},
      {"-d", "Hello"},
  };
  for (const Words& args : cases) {
    Launch l = launch(args);
    EXPECT_EQ(1, l.status) << joined(args);
    EXPECT_TRUE(l.calls.empty()) << joined(args);
    EXPECT_NE(std::string::npos, l.out.find("usage: kestrel [options] [class] \n"))
        << joined(args);
  }
}

TEST(LaunchTest, OptionScanFindsNameAndClass) {
  struct {
    Words args;
    int rc;
    const char* name;
    int class_index;
  } cases[] = {
      {{"k"}, 0, nullptr, -1},
      {{"k", "-v", "Main", "-name", "x"}, 0, "Main", 2},
      {{"k", "-name", "N", "-classpath", "-name", "Main"}, 0, "N", 5},
      {{"k", "-debugport", "Main"}, 0, nullptr, -1},
      {{"k", "-name", "-x"}, 1, nullptr, -1},
  };
  for (auto& c : cases) {
    std::vector<char*> argv;
    for (std::string& s : c.args) {
      argv.push_back(&s[0]);
    }
    const char* name = "unset";
    int class_index = -2;
    EXPECT_EQ(c.rc, ldr_scan_options((int)argv.size(), argv.data(), &name,
                                     &class_index));
    if (c.rc == 0) {
      EXPECT_EQ(c.class_index, class_index);
      if (c.name) {
        EXPECT_STREQ(c.name, name);
      } else {
        EXPECT_EQ(nullptr, name);
      }
    }
  }
}

TEST(LaunchTest, VmStatusIsTheResult) {
  ASSERT_TRUE(test_putenv("JAVAI_G_STATUS=42"));
  Launch l = launch({"Hello"});
  ASSERT_TRUE(test_putenv("JAVAI_G_STATUS="));
  EXPECT_EQ(42, l.status);
  EXPECT_EQ(1u, l.calls.size());
}

}  // namespace
