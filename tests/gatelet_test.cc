// The CGI gateway launcher as a program, with a recording stand-in for the
// interpreter first on PATH: the arguments the interpreter actually receives,
// the streams and status that pass through, and the error responses.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/proc.h"
#include "tests/support/record.h"
#include "tests/support/trace.h"

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

// Every CGI variable set to value.
std::vector<EnvChange> every_variable(const std::string& value) {
  std::vector<EnvChange> env;
  for (const char* name : kVariables) {
    env.push_back(Set(name, value));
  }
  return env;
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
  std::vector<std::string> argv;  // what it received, when it ran once
};

// Runs gatelet_g in an empty folder (or in cwd) with PATH as given, every
// CGI variable unset and then env applied, and the file input (if any) as
// standard input.
Gatelet run_gatelet(const std::string& path, std::vector<EnvChange> env,
                    const std::vector<std::string>& args = {},
                    const std::string& input = "",
                    const std::string& cwd = "") {
  std::string work = scratch_dir("gatelet_work");
  std::string record = work + "record.txt";
  std::vector<EnvChange> all = {Set("PATH", path),
                                Set("JAVA_STUB_RECORD", record)};
  for (const char* name : kVariables) {
    all.push_back(Unset(name));
  }
  all.insert(all.end(), env.begin(), env.end());
  Gatelet g;
  g.result = run_program("gatelet_g", args, all, cwd.empty() ? work : cwd,
                         true, input);
  g.record = read_file(record);
  g.argv = one_call(parse_record(g.record));
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
  EXPECT_EQ(expected_args(values), g.argv);
}

TEST(GateletTest, IgnoresItsOwnArgumentsAndSetButEmptyValues) {
  std::string dir = stub_dir("gatelet_stub");
  Gatelet g = run_gatelet(dir, every_variable(""),
                          {"-Dinjected=1", "other.Class", "x y"});
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ(expected_args(std::vector<std::string>(kCount)), g.argv);
}

// True where the active code page has double-byte characters; the process
// tests then run with the code page named by NORVANE_TEST_ACP, and check it.
bool double_byte_code_page() {
#ifdef _WIN32
  const char* want = getenv("NORVANE_TEST_ACP");
  if (want && *want) {
    EXPECT_EQ((UINT)atoi(want), GetACP()) << "the locale did not take";
  }
  return IsDBCSLeadByte(0x95) != 0;
#else
  return false;
#endif
}

struct Hostile {
  const char* value;
  // The bytes are no whole characters of a double-byte code page, which
  // therefore holds no exact form of them.
  bool undecodable_in_double_byte = false;
};

TEST(GateletTest, HostileValuesArriveAsOneArgumentEachWithTheirExactBytes) {
  std::string dir = stub_dir("gatelet_stub");
  bool dbcs = double_byte_code_page();
  // 0x95 0x5C and 0x81 0x5C are one character each in the double-byte code
  // pages 932 and 936, and two (the second a backslash) in 1252.
  const Hostile hostile[] = {
      {"a\"b"},
      {"\""},
      {"\"\""},
      {"\\"},
      {"C:\\dir\\"},
      {"end\\\\\\"},
      {"a\\\"b"},
      {"a\\\\\"b"},
      {"  blanks before and after  "},
      {"\ttabs\tinside\t"},
      {"\" -cp evil.jar -Dx=\""},
      {"\\\" -Xbootclasspath/a:evil \""},
      {"-classpath evil.jar"},
      {"x\" \"y"},
      {"\\\\server\\share\\"},
      {"a&b|c<d>e^f%PATH%"},
      {"line\none"},
      {"*.exe ?"},
      {"a\x95\x5C\" -cp evil sun.Evil \""},
      {"\x95\x5C"},
      {"\x95\x5C\x81\x5C\\\\\" -Dy=1 \""},
      {"\\\x95\x5C\\"},
      {"\x95\x5C\"\x81\x5C\\"},
      {"\x95\x5C\\\\\\\x95\x5C"},
      {"a\x95", true},
      {"\x95\" -cp evil sun.Evil \"", true},
      {"\x95\\\" -cp evil \"", true},
      {"\xE9t\xE9 \xA0\xFF\x80", true},
  };
  // Under a double-byte code page, a value that is no text in it reaches the
  // environment as this process decodes it, each on its own: the
  // interpreter gets what the environment holds, whole in one argument, or
  // nothing when that has no exact form in the code page. The others go
  // eighteen to a request, the last request padded with empty ones.
  std::vector<std::string> whole;
  for (const Hostile& h : hostile) {
    if (!(dbcs && h.undecodable_in_double_byte)) {
      whole.push_back(h.value);
      continue;
    }
    Gatelet g = run_gatelet(dir, {Set("QUERY_STRING", h.value)});
    SCOPED_TRACE(::testing::PrintToString(h.value));
    if (g.result.status == 0) {
      ASSERT_EQ(20u, g.argv.size());
      EXPECT_EQ(0u, g.argv[8].find("-DQUERY_STRING="));
    } else {
      EXPECT_NE(std::string::npos, g.result.out.find("variable conversion"));
      EXPECT_EQ("", g.record);
    }
  }
  const int total = (int)whole.size();
  for (int first = 0; first < total; first += kCount) {
    std::vector<std::string> values(kCount);
    std::vector<EnvChange> env;
    for (int i = 0; i < kCount && first + i < total; i++) {
      values[i] = whole[first + i];
      env.push_back(Set(kVariables[i], values[i]));
    }
    Gatelet g = run_gatelet(dir, env);
    EXPECT_EQ(0, g.result.status);
    EXPECT_EQ(expected_args(values), g.argv);
  }
}

TEST(GateletTest, AValueTheCodePageLacksIsRefusedNeverChanged) {
  std::string dir = stub_dir("gatelet_stub");
  std::string trace = scratch_dir("gatelet_wide") + "trace.log";
  std::string body = dir + "body";
  ASSERT_TRUE(write_file(body, "0123456789"));
  // Fullwidth letters, "=", quotes and a backslash stand-in, which best-fit
  // would turn into their ASCII forms; Ł, which no code page of the tests
  // holds; é and 上海, which some do.
  const std::string values[] = {
      u8"\uFF46\uFF4F\uFF52\uFF57\uFF41\uFF52\uFF44\uFF1D",
      u8"a\uFF02 -x \uFF02b \u00A5\uFF3C",
      u8"C:\\Users\\\u0141ukasz",
      u8"Jos\u00E9",
      u8"\u4E0A\u6D77",
  };
  for (const std::string& value : values) {
    SCOPED_TRACE(::testing::PrintToString(value));
    std::string cp;
    bool exact = in_code_page(value, &cp);
    remove_file(trace);
    Gatelet g = run_gatelet(dir,
                            {SetUtf8("QUERY_STRING", value),
                             Set("CONTENT_LENGTH", "10"),
                             Set("NORVANE_TRACE", trace)},
                            {}, body);
    if (exact) {
      std::vector<std::string> passed(kCount);
      passed[1] = "10";
      passed[7] = cp;
      EXPECT_EQ(0, g.result.status);
      EXPECT_EQ(expected_args(passed), g.argv);
      continue;
    }
    EXPECT_EQ(1, g.result.status);
    EXPECT_EQ(text_mode("Status: 500 Server Error: variable conversion "
                        "failure\nContent-type: text/plain\n\n"
                        "variable conversion failure"),
              g.result.out);
    EXPECT_EQ("", g.record);
    EXPECT_EQ(10, g.result.input_read);
    EXPECT_TRUE(
        has_steps(read_file(trace), "gatelet_g",
                  {{"QUERY_STRING", "reason=not-in-code-page", "value=" + cp},
                   {"interpreter", "reason=not-in-code-page"},
                   {"body", "bytes=10", "of=10"}}));
  }
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

TEST(GateletTest, TakesTheRequestBodyBeforeTheErrorResponse) {
  std::string empty = scratch_dir("gatelet_empty");
  std::string dir = scratch_dir("gatelet_body");
  // Bytes that a text-mode read would stop at (0x1A) or fold (CR LF).
  std::string body;
  for (int i = 0; i < 100000; i++) {
    body += "ab\r\n\x1a\xff\x00"[i % 7];
  }
  ASSERT_TRUE(write_file(dir + "body", body));
  struct {
    const char* length;  // CONTENT_LENGTH; null for unset
    long long read;
    Step step;
  } cases[] = {
      {nullptr, 0, {"body", "reason=no-length"}},
      {"12x", 0, {"body", "reason=length-not-a-number"}},
      {"70000", 70000, {"body", "bytes=70000", "of=70000"}},
      // The end of input stops the read.
      {"250000", 100000, {"body", "bytes=100000", "of=250000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length ? c.length : "unset");
    std::string trace = dir + "trace.log";
    remove_file(trace);
    std::vector<EnvChange> env = {Set("NORVANE_TRACE", trace),
                                  Set("REQUEST_METHOD", "POST")};
    if (c.length) {
      env.push_back(Set("CONTENT_LENGTH", c.length));
    }
    Gatelet g = run_gatelet(empty, env, {}, dir + "body");
    EXPECT_EQ(1, g.result.status);
    EXPECT_EQ(text_mode(kNoInterpreter), g.result.out);
    EXPECT_EQ("", g.result.err);
    EXPECT_EQ(c.read, g.result.input_read);
    EXPECT_TRUE(has_steps(read_file(trace), "gatelet_g", {c.step}));
  }
}

#ifdef _WIN32
TEST(GateletTest, PassesOverBatchFilesAndNeverRunsThem) {
  std::string stub = stub_dir("gatelet_stub");
  for (const char* batch : {"java.bat", "java.cmd"}) {
    std::string first = scratch_dir("gatelet_batch");
    std::string marker = first + "ran.txt";
    ASSERT_TRUE(write_file(first + batch, "@echo ran> \"" + marker + "\"\r\n"));
    const struct {
      std::string path;
      std::string cwd;
      bool answered;
    } cases[] = {
        {first + kListSep + stub, "", true},  // earlier on PATH
        {stub, first, true},                  // in the current folder
        {first, "", false},                   // nothing but batch files
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(batch) + " on " + c.path + " in " + c.cwd);
      Gatelet g =
          run_gatelet(c.path, {Set("QUERY_STRING", "\" & echo x")}, {}, "", c.cwd);
      if (c.answered) {
        EXPECT_EQ(0, g.result.status);
        ASSERT_EQ(20u, g.argv.size());
        EXPECT_EQ("-DQUERY_STRING=\" & echo x", g.argv[8]);
      } else {
        EXPECT_EQ(1, g.result.status);
        EXPECT_EQ(text_mode(kNoInterpreter), g.result.out);
        EXPECT_EQ("", g.record);
      }
      EXPECT_EQ("", read_file(marker));
    }
  }
}

TEST(GateletTest, OnlyTheStandardHandlesReachTheInterpreter) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  HANDLE leaked = CreateEventA(&inherit, TRUE, TRUE, NULL);
  ASSERT_NE(nullptr, leaked);
  std::string value = std::to_string((uintptr_t)leaked);
  // The stand-in sees the event when it is started directly, as the
  // gateway is; through the gateway it does not.
  std::string work = scratch_dir("gatelet_handle");
  run_program(bin_dir() + exe_file("java_stub"), {},
              {Set("JAVA_STUB_RECORD", work + "direct.txt"),
               Set("JAVA_STUB_HANDLE", value)});
  Gatelet g = run_gatelet(stub_dir("gatelet_stub"),
                          {Set("JAVA_STUB_HANDLE", value)});
  CloseHandle(leaked);
  EXPECT_EQ("inherited", read_record(work + "direct.txt").at(0).handle);
  EXPECT_EQ("not inherited", parse_record(g.record).at(0).handle);
}

TEST(GateletTest, NeverStartsACommandLineOverThePlatformLimit) {
  std::string dir = stub_dir("gatelet_stub");
  // The line as started: "java", each property with its value quoted, the
  // class, single blanks between. Plain ASCII values add their length.
  size_t base = 4 + 1 + strlen(kClass);
  for (const char* name : kVariables) {
    base += 1 + strlen("-D") + strlen(name) + strlen("=\"\"");
  }
  const size_t limit = 32767;  // UTF-16 units, the terminator included
  struct {
    std::vector<EnvChange> env;
    bool started;
  } cases[] = {
      {{Set("QUERY_STRING", std::string(limit - 1 - base, 'q'))}, true},
      {{Set("QUERY_STRING", std::string(limit - base, 'q'))}, false},
      {every_variable(std::string(8000, 'v')), false},
  };
  for (const auto& c : cases) {
    Gatelet g = run_gatelet(dir, c.env);
    if (c.started) {
      EXPECT_EQ(0, g.result.status);
      EXPECT_EQ(20u, g.argv.size());
    } else {
      EXPECT_EQ(1, g.result.status);
      EXPECT_EQ(text_mode(kNoInterpreter), g.result.out);
      EXPECT_EQ("", g.record.substr(0, 80));
    }
  }
}

TEST(GateletTest, PrefersAnExecutableToABatchFileInTheSameFolder) {
  std::string dir = stub_dir("gatelet_stub");
  ASSERT_TRUE(write_file(dir + "java.bat", "@exit 9\r\n"));
  Gatelet g = run_gatelet(dir, {});
  EXPECT_EQ(0, g.result.status);
  EXPECT_EQ(expected_args(std::vector<std::string>(kCount)), g.argv);
}
#endif

TEST(GateletTest, AKilledGatewayLeavesNoInterpreterRunning) {
  std::string work = scratch_dir("gatelet_killed");
  std::string pid_file = work + "pid.txt";
  StartedProgram gateway = start_program(
      "gatelet_g", {},
      {Set("PATH", stub_dir("gatelet_stub")), Set("JAVA_STUB_PID", pid_file),
       Set("JAVA_STUB_SLEEP", "30000")},
      work);
  ASSERT_GT(gateway.pid, 0);
  std::string pid;
  for (int i = 0; i < 300 && pid.find('\n') == std::string::npos; i++) {
    pause_ms(50);
    pid = read_file(pid_file);
  }
  long interpreter = atol(pid.c_str());
  ASSERT_GT(interpreter, 0) << "the interpreter did not start";
  EXPECT_TRUE(process_running(interpreter));
  kill_program(&gateway);
  // The job ends the interpreter at once; a loaded machine running Wine
  // may take seconds to show it.
  bool ended = false;
  for (int i = 0; i < 150 && !ended; i++) {
    ended = !process_running(interpreter);
    pause_ms(100);
  }
  EXPECT_TRUE(ended) << "the interpreter outlived the gateway by 15 s";
  end_process(interpreter);
}

TEST(GateletTest, TracesEachValueOnItsOwnLineAndWhyNothingStarted) {
  std::string stub = stub_dir("gatelet_stub");
  std::string empty = scratch_dir("gatelet_empty");
  std::string file = scratch_dir("gatelet_trace") + "trace.log";
  const char* const values[kCount] = {"a\"b",
                                      "\\",
                                      "C:\\dir\\",
                                      "  blanks  ",
                                      "\ttab\t",
                                      nullptr,
                                      "\" -cp evil.jar -Dx=\"",
                                      "line\none",
                                      "cr\r\nlf",
                                      "\xC3\xA9t\xC3\xA9",
                                      "%PATH%",
                                      "",
                                      "GET",
                                      "x\" \"y",
                                      nullptr,
                                      "80",
                                      "HTTP/1.0",
                                      "\x1b[2J"};
  std::vector<EnvChange> request = {Set("JAVA_STUB_STATUS", "3")};
  std::vector<std::string> passed;
  std::vector<Step> variables;
  for (int i = 0; i < kCount; i++) {
    if (values[i]) {
      request.push_back(Set(kVariables[i], values[i]));
    }
    passed.push_back(values[i] ? values[i] : "");
    variables.push_back({kVariables[i], std::string("value=") +
                                            (values[i] ? values[i] : "unset")});
  }
  Step vector = vector_step(expected_args(passed));
  vector.push_back("program=java");
  std::vector<EnvChange> too_long = every_variable(std::string(8000, 'v'));
  std::string batch = scratch_dir("gatelet_trace_batch");
  ASSERT_TRUE(write_file(batch + "java.bat", "@exit 9\r\n"));
  struct Case {
    std::string path;
    std::vector<EnvChange> env;
    std::vector<Step> steps;
  };
  std::vector<Case> cases = {
#ifdef _WIN32
      {stub,
       request,
       {vector, {"found=" + stub + "java.exe"}, {"command"}, {"status=3"}}},
      {batch, {}, {{"interpreter", "reason=batch-file-refused"}}},
      {stub, too_long, {{"interpreter", "reason=command-line-too-long"}}},
#else
      {stub, request, {vector}},
#endif
      {empty, {}, {{"interpreter", "reason=not-found"}}},
  };
  cases[0].steps.insert(cases[0].steps.begin(), variables.begin(),
                        variables.end());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps.back().back());
    std::vector<TraceLine> trace = expect_traced_steps(
        [&](const std::vector<EnvChange>& env) {
          Gatelet run = run_gatelet(c.path, env);
          return Observed{run.result, run.record};
        },
        c.env, file, "gatelet_g", c.steps);
    // The command line starts with the interpreter and the first property.
    for (const TraceLine& line : trace) {
      auto command = line.fields.find("line");
      if (command != line.fields.end()) {
        EXPECT_EQ(0u, command->second.find("java -DAUTH_TYPE="));
      }
    }
  }
}

}  // namespace
