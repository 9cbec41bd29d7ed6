// The built kestrel and kestrelw programs, run as child processes against the
// stand-in VM library: output bytes, launch vectors and exit statuses.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/proc.h"
#include "tests/support/record.h"
#include "tests/support/trace.h"

namespace {

using Words = std::vector<std::string>;

const char kBanner[] =
    "Norvane Debug VM Loader 0.5\n"
    "Copyright (c) Norvane. All rights reserved.\n"
    "\n";

const char kUsage[] =
    "usage: kestrel [options] [class] \n"
    "\n"
    "where options include:\n"
    "\n"
    "-name xxx     specify a name to identify this app\n"
    "-help         print out this message\n"
    "-v -verbose   turn on verbose mode\n"
    "-noasyncgc    don't allow asynchronous garbage collection\n"
    "-verbosegc    print a message when garbage collection occurs\n"
    "-noclassgc    disable class garbage collection\n"
    "-ss<number>   set the maximum native stack size for any thread\n"
    "-oss<number>  set the maximum Java stack size for any thread\n"
    "-ms<number>   set the initial Java heap size\n"
    "-mx<number>   set the maximum Java heap size\n"
    "-classpath <directories separated by semicolons>\n"
    "              list directories in which to look for classes\n"
    "-verify       verify all classes when read in\n"
    "-verifyremote verify classes read in over the network [default]\n"
    "-noverify     do not verify any class\n"
    "\n"
    "If no class is specified the vm will wait for a class to be sent\n"
    "it by Brisbeck.\n"
    "\n";

const char kName[] = "-Dnorvane.plume.remote.vm.name=";
const char kAgent[] = "norvane.tools.debug.Agent";
const char kEmptyApp[] = "norvane.tools.debug.EmptyApp";

const char* const kPrograms[] = {"kestrel", "kestrelw"};

// The step of an expansion that failed, after which the arguments stay.
const Step kFailed = {"expand", "failed"};

class KestrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_dir(
        std::string("kestrel_") +
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    record_ = dir_ + "record.txt";
  }

  // Runs a loader; the VM's calls land in calls_.
  RunResult run(const std::string& program, const Words& args,
                std::vector<EnvChange> env = {}) {
    remove_file(record_);
    env.push_back(Set("JAVAI_G_RECORD", record_));
    RunResult r = run_program(program, args, env, dir_);
    calls_ = read_record(record_);
    return r;
  }

  // Runs each loader with args and env, then traced, and expects the same
  // run and the steps in its trace.
  void expect_traced(const Words& args, const std::vector<EnvChange>& env,
                     const std::vector<Step>& steps) {
    for (const char* program : kPrograms) {
      SCOPED_TRACE(std::string(program) + " " + args[0]);
      // kestrelw, without a console on Windows, traces to a file.
      bool gui = std::string(program) == "kestrelw";
      expect_traced_steps(
          [&](const std::vector<EnvChange>& e) {
            RunResult result = run(program, args, e);
            return Observed{result, read_file(record_)};
          },
          env, gui ? dir_ + "trace.log" : "1", program, steps);
    }
  }

  std::string dir_;
  std::string record_;
  std::vector<Call> calls_;
};

TEST_F(KestrelTest, LaunchesTheVmAndExitsWithItsStatus) {
  for (const char* program : kPrograms) {
    RunResult r = run(program, {"-classpath", "C:\\work", "Hello", "a", "b"},
                      {Set("JAVAI_G_STATUS", "7")});
    EXPECT_EQ(7, r.status) << program;
    EXPECT_EQ(text_mode(kBanner), r.out) << program;
    EXPECT_EQ((Words{"kestrel", "-debug", std::string(kName) + "Hello",
                     "-classpath", "C:\\work", kAgent, "Hello", "a", "b"}),
              one_call(calls_))
        << program;
  }
}

TEST_F(KestrelTest, NoArgumentsStartsTheEmptyApp) {
  for (const char* program : kPrograms) {
    RunResult r = run(program, {});
    EXPECT_EQ(0, r.status) << program;
    EXPECT_EQ((Words{"kestrel", "-debug", kEmptyApp}), one_call(calls_))
        << program;
  }
}

TEST_F(KestrelTest, UsageTextByteForByte) {
  for (const char* program : kPrograms) {
    for (const char* bad : {"-help", "-Verbose"}) {
      RunResult r = run(program, {bad, "Hello"});
      EXPECT_EQ(1, r.status) << program << " " << bad;
      EXPECT_EQ(text_mode(std::string(kBanner) + kUsage), r.out)
          << program << " " << bad;
      EXPECT_TRUE(calls_.empty()) << program << " " << bad;
    }
  }
}

TEST_F(KestrelTest, RunsWithoutAnyStandardStreams) {
  for (const char* program : kPrograms) {
    remove_file(record_);
    RunResult r = run_program(program, {"-name", "Quiet"},
                              {Set("JAVAI_G_RECORD", record_),
                               Set("JAVAI_G_STATUS", "5")},
                              dir_, false);
    EXPECT_EQ(5, r.status) << program;
    EXPECT_EQ((Words{"kestrel", "-debug", std::string(kName) + "Quiet",
                     kEmptyApp}),
              one_call(read_record(record_)));
    r = run_program(program, {"-help"}, {}, dir_, false);
    EXPECT_EQ(1, r.status) << program;
  }
}

TEST_F(KestrelTest, ExpandsArgumentsFromVariablesAndFiles) {
  ASSERT_TRUE(write_file(dir_ + "opts.rsp",
                         "-verbose\r\n-classpath \"C:\\My Dir\"\r\nHello\r\n"));
  for (const char* program : kPrograms) {
    RunResult r = run(program, {"@KESTREL_ARGS", "@opts.rsp", "world"},
                      {Set("KESTREL_ARGS", "-name \"My App\"")});
    EXPECT_EQ(0, r.status) << program;
    EXPECT_EQ((Words{"kestrel", "-debug", std::string(kName) + "My App",
                     "-verbose", "-classpath", "C:\\My Dir", kAgent, "Hello",
                     "world"}),
              one_call(calls_))
        << program;
  }
}

TEST_F(KestrelTest, SelfReferencingResponseFileFallsBackToTheArguments) {
  ASSERT_TRUE(write_file(dir_ + "loop.rsp", "-v @loop.rsp"));
  RunResult r = run("kestrel", {"@loop.rsp", "x"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ((Words{"kestrel", "-debug", std::string(kName) + "@loop.rsp",
                   kAgent, "@loop.rsp", "x"}),
            one_call(calls_));
}

TEST_F(KestrelTest, ArgumentsKeepEveryByte) {
  const Words args = {"Main", "", "a b", "tab\there", "quote\"d",
                      "back\\slash\\", "\\\\server\\share"};
  RunResult r = run("kestrel", args);
  EXPECT_EQ(0, r.status);
  Words expected = {"kestrel", "-debug", std::string(kName) + "Main", kAgent};
  expected.insert(expected.end(), args.begin(), args.end());
  EXPECT_EQ(expected, one_call(calls_));
}

TEST_F(KestrelTest, WildcardArgumentsFollowThePlatform) {
  ASSERT_TRUE(write_file(dir_ + "one.txt", "1"));
  ASSERT_TRUE(write_file(dir_ + "two.txt", "2"));
  RunResult r = run("kestrel", {"Main", "*.txt"});
  EXPECT_EQ(0, r.status);
  ASSERT_EQ(1u, calls_.size());
  Words tail(calls_[0].argv.begin() + 5, calls_[0].argv.end());
#ifdef _WIN32
  // The runtime expands the pattern before the loader sees it, in the
  // order of the folder listing.
  std::sort(tail.begin(), tail.end());
  EXPECT_EQ((Words{"one.txt", "two.txt"}), tail);
#else
  // Elsewhere the shell expands; the program leaves the argument as it is.
  EXPECT_EQ((Words{"*.txt"}), tail);
#endif
}

TEST_F(KestrelTest, TextTheCodePageLacksIsReadExactlyOrRefused) {
  Utf8Text utf8;
  // Ł is in none of the code pages of the tests; on POSIX bytes are bytes.
  const std::string user = dir_ + u8"\u0141ukasz" + kDirSep;
  std::string cp;
  ASSERT_TRUE(make_dirs(user));
  // The words' bytes reach the VM as they stand, also a lead byte of a
  // double-byte code page before a blank or a quote, which it never takes.
  ASSERT_TRUE(write_file(user + "args.txt", "Hello x\x81 y \"a\x81\" b"));
  const std::string refused[][3] = {
      {"-classpath", user + "classes", "Hello"},
      {"-name", u8"\u0141", "Hello"},
      {"-verbose", "Hello", u8"\uFF02 -Xevil \uFF02"},
  };
  for (const char* program : kPrograms) {
    SCOPED_TRACE(program);
    RunResult r = run(program, {"@" + user + "args.txt"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ((Words{"kestrel", "-debug", std::string(kName) + "Hello", kAgent,
                     "Hello", "x\x81", "y", "a\x81", "b"}),
              one_call(calls_));
    for (const auto& args : refused) {
      Words row(args, args + 3);
      r = run(program, row);
      SCOPED_TRACE(::testing::PrintToString(row[1] + " " + row[2]));
      std::string last;
      if (in_code_page(row[1] + row[2], &cp) && in_code_page(row[2], &last)) {
        // Held exactly, each stays its one argument (U+FF02 under 932).
        EXPECT_EQ(0, r.status);
        ASSERT_EQ(1u, calls_.size());
        EXPECT_EQ(last, calls_[0].argv.back());
        continue;
      }
      EXPECT_EQ(1, r.status);
      EXPECT_TRUE(calls_.empty());
      EXPECT_EQ(0u, r.err.find("kestrel: cannot pass \""));
      EXPECT_EQ(text_mode(kBanner), r.out);
    }
  }
  // A wildcard match is passed by a name of the same file, never by a
  // stand-in that names another one or is itself a pattern.
  const std::string wild = dir_ + "wild" + kDirSep;
  ASSERT_TRUE(make_dirs(wild));
  ASSERT_TRUE(write_file(wild + "a.txt", "1"));
  ASSERT_TRUE(write_file(wild + u8"\u0141\u00F3d\u017A.txt", "2"));
  remove_file(record_);
  RunResult r = run_program("kestrel", {"Main", "*.txt"},
                            {Set("JAVAI_G_RECORD", record_)}, wild);
  calls_ = read_record(record_);
#ifdef _WIN32
  if (r.status == 1) {
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(0u, r.err.find("kestrel: cannot pass \""));
    return;
  }
  ASSERT_EQ(1u, calls_.size());
  Words tail(calls_[0].argv.begin() + 5, calls_[0].argv.end());
  ASSERT_EQ(2u, tail.size());
  if (tail[0] != "a.txt") {
    std::swap(tail[0], tail[1]);
  }
  EXPECT_EQ("a.txt", tail[0]);
  EXPECT_EQ(std::string::npos, tail[1].find('?'));
  EXPECT_EQ("2", read_file(wild + tail[1])) << tail[1];
#else
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ("*.txt", calls_[0].argv.back());
#endif
}

TEST_F(KestrelTest, TracesEachExpansionAndTheLaunchWithoutChangingTheRun) {
  const std::string opts = "-verbose\r\n-classpath \"C:\\My Dir\"\r\nHello\r\n";
  std::string many, heavy;
  // More @-arguments than one expansion reads (8192), and more text (4 MiB).
  for (int i = 0; i < 8200; i++) {
    many += "@KTB ";
  }
  for (int i = 0; i < 65; i++) {
    heavy += "@blank.rsp\n";
  }
  ASSERT_TRUE(write_file(dir_ + "opts.rsp", opts));
  ASSERT_TRUE(write_file(dir_ + "big.rsp", std::string(65536, ' ')));
  ASSERT_TRUE(write_file(dir_ + "blank.rsp", std::string(65535, ' ')));
  ASSERT_TRUE(write_file(dir_ + "loop.rsp", "@loop.rsp"));
  ASSERT_TRUE(write_file(dir_ + "many.rsp", many));
  ASSERT_TRUE(write_file(dir_ + "heavy.rsp", heavy));
  ASSERT_TRUE(make_dirs(dir_ + "adir"));
  const Step usage = {"usage"};
  // Words with characters that a code page may lack: expanded where it
  // holds them exactly, never in the form of their best-fit stand-ins.
  auto wide = [&](const std::string& name, const std::string& value,
                  const std::string& word) {
    std::string cp, cp_word;
    if (!in_code_page(value, &cp) || !in_code_page(word, &cp_word)) {
      return std::vector<Step>{
          {"expand=@" + name, "pass=1", "reason=not-in-code-page"}, kFailed};
    }
    return std::vector<Step>{
        {"expand=@" + name, "pass=1", "variable=" + name,
         "size=" + std::to_string(cp.size()), "words=3"},
        vector_step({"kestrel", "-debug", std::string(kName) + "Hello",
                     "-classpath", cp_word, kAgent, "Hello"})};
  };
  const struct {
    Words args;
    std::vector<EnvChange> env;
    std::vector<Step> steps;
  } kCases[] = {
      {{"@KT_ARGS", "@opts.rsp", "a b\"c\\"},
       {Set("KT_ARGS", "-name \"My App\"")},
       {{"expand=@KT_ARGS", "pass=1", "variable=KT_ARGS", "size=14", "words=2"},
        {"expand=@opts.rsp", "pass=1", "file=opts.rsp", "size=41", "words=4"},
        vector_step({"kestrel", "-debug", std::string(kName) + "My App",
                     "-verbose", "-classpath", "C:\\My Dir", kAgent, "Hello",
                     "a b\"c\\"})}},
      {{"@kt_missing", "x"},
       {},
       {{"expand=@kt_missing", "pass=1", "reason=not-found"},
        kFailed,
        vector_step({"kestrel", "-debug", std::string(kName) + "@kt_missing",
                     kAgent, "@kt_missing", "x"})}},
      {{"@adir"},
       {},
       {{"expand=@adir", "pass=1", "reason=not-a-regular-file"}, kFailed}},
      {{"@big.rsp"},
       {},
       {{"expand=@big.rsp", "pass=1", "file=big.rsp", "size=65536",
         "reason=too-large"},
        kFailed}},
      {{"@loop.rsp"},
       {},
       {{"expand=@loop.rsp", "pass=16", "file=loop.rsp", "size=9", "words=1"},
        {"reason=pass-bound", "passes=16"}, kFailed}},
      {{"@many.rsp"},
       {Set("KTB", " ")},
       {{"expand=@KTB", "pass=2", "reason=source-bound"}, kFailed}},
      {{"@heavy.rsp"},
       {},
       {{"expand=@blank.rsp", "pass=2", "reason=text-bound"}, kFailed}},
      {{"@KT_W"},
       {SetUtf8("KT_W", u8"-classpath \"C:\\lib\u0141\" Hello")},
       wide("KT_W", u8"-classpath \"C:\\lib\u0141\" Hello",
            u8"C:\\lib\u0141")},
      {{"@KT_W"},
       {SetUtf8("KT_W", u8"-classpath \"C:\\lib\u00A5\" Hello")},
       wide("KT_W", u8"-classpath \"C:\\lib\u00A5\" Hello",
            u8"C:\\lib\u00A5")},
      {{"-Verbose"},
       {},
       {{"option=-Verbose", "index=1", "reason=unknown-option"}, usage}},
      {{"-v", "-name"},
       {},
       {{"option=-name", "index=2", "reason=name-without-value"}, usage}},
  };
  for (const auto& c : kCases) {
    expect_traced(c.args, c.env, c.steps);
  }
  // An empty value, a file that cannot be opened, or one that is no regular
  // file (a folder, a pipe that nobody reads) changes nothing.
  for (const std::string& value :
       {std::string(), dir_ + "no" + kDirSep + "t", dir_, unread_pipe(dir_)}) {
    SCOPED_TRACE(value);
    expect_traced_steps(
        [&](const std::vector<EnvChange>& env) {
          RunResult result = run("kestrelw", {"Hello"}, env);
          return Observed{result, read_file(record_)};
        },
        {}, value);
    EXPECT_EQ(1u, calls_.size());
  }
  // Nor does standard error where there is none, as for a GUI program.
  remove_file(record_);
  RunResult r =
      run_program("kestrelw", {"Hello"},
                  {Set("NORVANE_TRACE", "1"), Set("JAVAI_G_RECORD", record_),
                   Set("JAVAI_G_STATUS", "5")},
                  dir_, false);
  EXPECT_EQ(5, r.status);
  EXPECT_EQ(1u, read_record(record_).size());
}

TEST_F(KestrelTest, TracesAResponseFileThatCannotBeRead) {
  if (!make_unreadable_file(dir_ + "locked.rsp")) {
    GTEST_SKIP() << "the platform cannot make a file that exists unreadable";
  }
  expect_traced({"@locked.rsp"}, {},
                {{"expand=@locked.rsp", "pass=1", "reason=unreadable"},
                 kFailed});
}

}  // namespace
