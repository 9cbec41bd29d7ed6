// The CGI gateway launcher as a program, with a recording stand-in for the
// interpreter first on PATH: the arguments the interpreter actually receives,
// the streams and status that pass through, and the error responses.
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/proc.h"

namespace {

const char* const kVariables[] = {
    "AUTH_TYPE",         "CONTENT_LENGTH",  "CONTENT_TYPE",
    "GATEWAY_INTERFACE", "HTTP_ACCEPT",     "PATH_INFO",
    "PATH_TRANSLATED",   "QUERY_STRING",    "REMOTE_ADDR",
    "REMOTE_HOST",       "REMOTE_IDENT",    "REMOTE_USER",
    "REQUEST_METHOD",    "SCRIPT_NAME",     "SERVER_NAME",
    "SERVER_PORT",       "SERVER_PROTOCOL", "SERVER_SOFTWARE",
};
const int kCount = 18;
const char kClass[] = "sun.rmi.transport.proxy.CGIHandler";

// The stand-in's escaping of one argument: bytes outside printable ASCII and
// the backslash as \xHH.
std::string escaped(const std::string& arg) {
  std::string out;
  char hex[8];
  for (unsigned char c : arg) {
    if (c < 0x20 || c >= 0x7f || c == '\\') {
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += (char)c;
    }
  }
  return out;
}

// The stand-in's record for this argument list.
std::string record_of(const std::vector<std::string>& args) {
  std::string out = "argc " + std::to_string(args.size()) + "\n";
  for (const std::string& a : args) {
    out += escaped(a) + "\n";
  }
  return out;
}

// What the interpreter must receive for these values (empty for unset).
std::vector<std::string> expected_args(const std::vector<std::string>& values) {
  std::vector<std::string> args = {"java"};
  for (int i = 0; i < kCount; i++) {
    args.push_back(std::string("-D") + kVariables[i] + "=" + values[i]);
  }
  args.push_back(kClass);
  return args;
}

// A folder holding the stand-in as the interpreter program "java".
std::string stub_dir(const std::string& name) {
  std::string dir = scratch_dir(name);
  EXPECT_TRUE(
      copy_file(bin_dir() + exe_file("java_stub"), dir + exe_file("java")));
  return dir;
}

struct Gatelet {
  RunResult result;
  std::string record;  // empty when the interpreter did not run
};

// Runs gatelet_g in an empty folder with PATH as given, every CGI variable
// unset and then env applied.
Gatelet run_gatelet(const std::string& path, std::vector<EnvChange> env,
                    const std::vector<std::string>& args = {}) {
  std::string work = scratch_dir("gatelet_work");
  std::string record = work + "record.txt";
  std::vector<EnvChange> all = {Set("PATH", path),
                                Set("JAVA_STUB_RECORD", record)};
  for (const char* name : kVariables) {
    all.push_back(Unset(name));
  }
  all.insert(all.end(), env.begin(), env.end());
  Gatelet g;
  g.result = run_program("gatelet_g", args, all, work);
  g.record = read_file(record);
  return g;
}

const std::string kNoInterpreter =
    "Status: 500 Server Error: interpreter execution failure\n"
    "Content-type: text/plain\n"
    "\n"
    "interpreter execution failure";

TEST(GateletTest, WorkedExamplePassesEveryVariableInOrder) {
  std::string dir = stub_dir("gatelet_stub");
  std::vector<std::string> values(kCount);
  values[7] = "a=1 b";  // QUERY_STRING
  values[12] = "GET";   // REQUEST_METHOD
  Gatelet g = run_gatelet(
      dir, {Set("QUERY_STRING", values[7]), Set("REQUEST_METHOD", "GET")});
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ("", g.result.out);
  EXPECT_EQ("", g.result.err);
  EXPECT_EQ(record_of(expected_args(values)), g.record);
}

TEST(GateletTest, IgnoresItsOwnArgumentsAndSetButEmptyValues) {
  std::string dir = stub_dir("gatelet_stub");
  std::vector<EnvChange> env;
  for (const char* name : kVariables) {
    env.push_back(Set(name, ""));
  }
  Gatelet g = run_gatelet(dir, env, {"-Dinjected=1", "other.Class", "x y"});
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ(record_of(expected_args(std::vector<std::string>(kCount))),
            g.record);
}

TEST(GateletTest, HostileValuesArriveAsOneArgumentEachWithTheirExactBytes) {
  std::string dir = stub_dir("gatelet_stub");
  const std::vector<std::string> values = {
      "a\"b",
      "\"",
      "\"\"",
      "\\",
      "C:\\dir\\",
      "end\\\\\\",
      "a\\\"b",
      "a\\\\\"b",
      "  blanks before and after  ",
      "\ttabs\tinside\t",
      "\" -cp evil.jar -Dx=\"",
      "\\\" -Xbootclasspath/a:evil \"",
      "-classpath evil.jar",
      "x\" \"y",
      "\\\\server\\share\\",
      "a&b|c<d>e^f%PATH%",
      "line\none",
      "*.exe ?",
  };
  std::vector<EnvChange> env;
  for (int i = 0; i < kCount; i++) {
    env.push_back(Set(kVariables[i], values[i]));
  }
  Gatelet g = run_gatelet(dir, env);
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ(record_of(expected_args(values)), g.record);
}

TEST(GateletTest, StreamsAndStatusOfTheInterpreterPassThrough) {
  std::string dir = stub_dir("gatelet_stub");
  Gatelet g = run_gatelet(
      dir, {Set("JAVA_STUB_OUT", "Status: 200 OK\n\nbody"),
            Set("JAVA_STUB_ERR", "warning\n"), Set("JAVA_STUB_STATUS", "3")});
  EXPECT_EQ(3, g.result.status);
  EXPECT_EQ(text_mode("Status: 200 OK\n\nbody"), g.result.out);
  EXPECT_EQ(text_mode("warning\n"), g.result.err);
  EXPECT_FALSE(g.record.empty());
}

TEST(GateletTest, AnswersWithTheErrorResponseWhenNoInterpreterIsFound) {
  std::string empty = scratch_dir("gatelet_empty");
  Gatelet g = run_gatelet(empty, {Set("QUERY_STRING", "a=1")});
  EXPECT_EQ(1, g.result.status);
  EXPECT_EQ(text_mode(kNoInterpreter), g.result.out);
  EXPECT_EQ("", g.result.err);
}

#ifdef _WIN32
TEST(GateletTest, NeverPassesRequestDataThroughABatchFile) {
  std::string stub = stub_dir("gatelet_stub");
  for (const char* batch : {"java.bat", "java.cmd"}) {
    std::string first = scratch_dir("gatelet_batch");
    std::string marker = first + "ran.txt";
    ASSERT_TRUE(write_file(first + batch, "@echo ran> \"" + marker + "\"\r\n"));
    Gatelet g = run_gatelet(first + kListSep + stub,
                            {Set("QUERY_STRING", "\" & echo x")});
    EXPECT_EQ(1, g.result.status) << batch;
    EXPECT_EQ(text_mode(kNoInterpreter), g.result.out) << batch;
    EXPECT_EQ("", g.record) << batch;
    EXPECT_EQ("", read_file(marker)) << batch;
  }
}

TEST(GateletTest, PrefersAnExecutableToABatchFileInTheSameFolder) {
  std::string dir = stub_dir("gatelet_stub");
  ASSERT_TRUE(write_file(dir + "java.bat", "@exit 9\r\n"));
  Gatelet g = run_gatelet(dir, {});
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ(record_of(expected_args(std::vector<std::string>(kCount))),
            g.record);
}
#endif

}  // namespace
