// The key tool launcher as a program: what the stand-in VM receives, the class
// path it finds in its environment, and the JAVA_HOME checks.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/proc.h"
#include "tests/support/record.h"
#include "tests/support/trace.h"

namespace {

const char kClass[] = "sun.security.provider.Main";

// The launcher's own folder, without the trailing separator.
std::string program_dir() {
  std::string dir = bin_dir();
  dir.pop_back();
  return dir;
}

std::string beside(const std::string& dir) {
  const std::string up = dir + kDirSep + ".." + kDirSep;
  return up + "classes" + kListSep + up + "lib" + kDirSep + "classes.zip" +
         kListSep + up + "lib" + kDirSep + "rt.jar";
}

struct Outcome {
  RunResult result;
  std::vector<Call> calls;
  std::string record;  // the record as the stand-in wrote it
};

// Runs quillan_g with the stand-in VM recording into a fresh file, CLASSPATH
// and JAVA_HOME unset unless env says otherwise.
Outcome run_quillan(const std::vector<std::string>& args,
                    std::vector<EnvChange> env, const std::string& cwd = "",
                    const std::string& program = "quillan_g") {
  std::string record = scratch_dir("quillan_record") + "record.txt";
  env.insert(
      env.begin(),
      {Unset("CLASSPATH"), Unset("JAVA_HOME"), Set("JAVAI_G_RECORD", record),
       Set("JAVAI_G_ENV", "CLASSPATH,JAVA_HOME,+CLASSPATH"),
       Unset("JAVAI_G_STATUS")});
  Outcome run;
  run.result = run_program(program, args, env, cwd);
  run.record = read_file(record);
  run.calls = parse_record(run.record);
  return run;
}

TEST(QuillanTest, WorkedExampleReachesTheVmAndItsStatusEndsTheProcess) {
  Outcome run = run_quillan({"-list", "-J-mx32m", "-Dx=1", "-v"},
                            {Set("JAVAI_G_STATUS", "7")});
  const std::string dir = program_dir();
  EXPECT_EQ(7, run.result.status);
  EXPECT_EQ("", run.result.err);
  EXPECT_EQ("", run.result.out);
  std::vector<std::string> expected = {
      "java_g", "-ms8m", "-Djava.home=" + dir + kDirSep + "..",
      "-mx32m", "-Dx=1", kClass,
      "-list",  "-v"};
  EXPECT_EQ(expected, one_call(run.calls));
  ASSERT_EQ(1u, run.calls.size());
  EXPECT_EQ(beside(dir), run.calls[0].env["CLASSPATH"]);
  EXPECT_EQ(0u, run.calls[0].env.count("JAVA_HOME"));
}

TEST(QuillanTest, KeepsASetClassPathFirstWithEveryCharacter) {
  // An empty value still leads; one with characters that no code page of
  // the tests holds keeps them in the environment that the VM inherits.
  const std::string values[] = {"", u8"C:\\\u0141ib\u5B66"};
  for (const std::string& old : values) {
    Outcome run = run_quillan({}, {SetUtf8("CLASSPATH", old)});
    ASSERT_EQ(1u, run.calls.size());
    EXPECT_EQ(4, run.calls[0].count);
    EXPECT_EQ(old + kListSep + beside(program_dir()),
              run.calls[0].env["+CLASSPATH"]);
  }
}

TEST(QuillanTest, UsesAValidJavaHomeExactlyAsWritten) {
  const std::string cwd = scratch_dir("quillan_home");
  ASSERT_TRUE(make_dirs(cwd + "jdk"));
  const std::string absolute = cwd + "jdk";
  const std::string values[] = {
      absolute,
      absolute + kDirSep,
      "jdk",
      std::string("jdk") + kDirSep,
      std::string("jdk") + kDirSep + ".." + kDirSep + "jdk",
  };
  for (const std::string& home : values) {
    Outcome run = run_quillan({"-v"}, {Set("JAVA_HOME", home)}, cwd);
    EXPECT_EQ(0, run.result.status) << home;
    EXPECT_EQ("", run.result.err) << home;
    std::vector<std::string> expected = {"java_g", "-ms8m",
                                         "-Djava.home=" + home, kClass, "-v"};
    EXPECT_EQ(expected, one_call(run.calls)) << home;
  }
}

TEST(QuillanTest, RefusesAJavaHomeThatIsNoDirectory) {
  const std::string cwd = scratch_dir("quillan_bad_home");
  ASSERT_TRUE(write_file(cwd + "file.txt", "x"));
  // The folder that a best-fit stand-in for the last character would name.
  ASSERT_TRUE(make_dirs(cwd + "jdkL"));
  const std::string values[] = {
      "",         cwd + "missing", cwd + "file.txt", cwd + "file.txt" + kDirSep,
      "file.txt", cwd + u8"jdk\u0141",
  };
  for (const std::string& home : values) {
    // The message shows "?" for a character that the code page lacks.
    std::string shown;
    in_code_page(home, &shown);
    Outcome run = run_quillan({"-v"}, {SetUtf8("JAVA_HOME", home)}, cwd);
    EXPECT_EQ(1, run.result.status) << home;
    EXPECT_EQ(text_mode("Invalid JAVA_HOME: " + shown + "\n"), run.result.err);
    EXPECT_EQ("", run.result.out);
    EXPECT_TRUE(run.calls.empty()) << home;
  }
}

// Copies the launcher and the VM library into dir, under the name program.
bool install_quillan(const std::string& dir, const std::string& program) {
  return !dir.empty() &&
         copy_file(bin_dir() + exe_file("quillan_g"), dir + exe_file(program)) &&
         copy_file(bin_dir() + lib_file("javai_g"), dir + lib_file("javai_g"));
}

TEST(QuillanTest, NamesItsOwnFolderWhateverItsCharacters) {
  const std::string name = trail_5c_name();
  if (name.empty()) {
    GTEST_SKIP() << "the code page has no double-byte characters";
  }
  const std::string root = scratch_dir("quillan_names");
  const struct {
    std::string folder;
    std::string program;
  } kCases[] = {{name, "quillan_g"}, {"q", name}, {name, name}};
  for (const auto& c : kCases) {
    const std::string dir = root + c.folder + kDirSep;
    ASSERT_TRUE(make_dirs(dir) && install_quillan(dir, c.program));
    Outcome run = run_quillan({}, {}, "", dir + exe_file(c.program));
    const std::string own = dir.substr(0, dir.size() - 1);
    SCOPED_TRACE(::testing::PrintToString(own));
    EXPECT_EQ(0, run.result.status);
    ASSERT_EQ(1u, run.calls.size());
    EXPECT_EQ("-Djava.home=" + own + kDirSep + "..", run.calls[0].argv.at(2));
    EXPECT_EQ(beside(own), run.calls[0].env["CLASSPATH"]);
  }
}

TEST(QuillanTest, TextTheCodePageLacksIsExactOrRefused) {
  Utf8Text utf8;
  // Ł is in none of the code pages of the tests; on POSIX bytes are bytes.
  const std::string dir = scratch_dir("quillan_unheld") + u8"\u0141ukasz" +
                          kDirSep;
  ASSERT_TRUE(make_dirs(dir) && install_quillan(dir, "quillan_g"));
  const std::string own = dir.substr(0, dir.size() - 1);
  std::string cp;
  const bool held = in_code_page(own, &cp);
  Outcome run = run_quillan({"-list"}, {}, "", dir + exe_file("quillan_g"));
  EXPECT_EQ(0, run.result.status) << run.result.err;
  ASSERT_EQ(1u, run.calls.size());
  // The class path is exact in the environment; java.home names the same
  // folder, by its short name where the code page lacks a character.
  EXPECT_EQ(beside(own), run.calls[0].env["+CLASSPATH"]);
  const std::string home = run.calls[0].argv.at(2);
  const std::string up = std::string(kDirSep) + "..";
  ASSERT_EQ(0u, home.find("-Djava.home="));
  ASSERT_EQ(home.size() - up.size(), home.rfind(up));
  const std::string named = home.substr(12, home.size() - 12 - up.size());
  if (held) {
    EXPECT_EQ(cp, named);
  } else {
    EXPECT_EQ(std::string::npos, named.find('?'));
    EXPECT_FALSE(read_file(named + kDirSep + exe_file("quillan_g")).empty())
        << named;
  }
  // An argument that the code page cannot hold never reaches the VM.
  run = run_quillan({"-list", "-storepass", u8"\u0141ukasz1"}, {});
  if (in_code_page(u8"\u0141", &cp)) {
    EXPECT_EQ(0, run.result.status);
    EXPECT_EQ(1u, run.calls.size());
  } else {
    EXPECT_EQ(1, run.result.status);
    EXPECT_TRUE(run.calls.empty());
    EXPECT_EQ(text_mode("quillan_g: cannot pass \"?ukasz1\" to the VM: the "
                        "code page lacks a character of it\n"),
              run.result.err);
  }
}

TEST(QuillanTest, StopsWhenItsOwnPathDoesNotFitThePathBuffer) {
  // Folders deep enough that the launcher's path exceeds 260 bytes: plain
  // letters, and double-byte characters one of which the limit cuts.
  std::string plain = scratch_dir("quillan_deep");
  while (plain.size() < 300) {
    plain += std::string(40, 'd') + kDirSep;
  }
  const std::string kFolders[] = {
      make_dirs(plain) ? plain : "",
      deep_folder(scratch_dir("quillan_deep_dbcs")),
  };
  // Every folder is made and run first: a skip comes before any check.
  std::vector<Outcome> runs;
  for (const std::string& dir : kFolders) {
    if (!install_quillan(dir, "quillan_g")) {
      GTEST_SKIP() << "the platform cannot make a folder this deep";
    }
    runs.push_back(run_quillan({}, {}, "", dir + exe_file("quillan_g")));
    if (runs.back().result.status == -1) {
      GTEST_SKIP() << "the platform cannot start a program this deep";
    }
  }
  for (size_t i = 0; i < runs.size(); i++) {
    SCOPED_TRACE(::testing::PrintToString(kFolders[i]));
    EXPECT_EQ(1, runs[i].result.status);
    EXPECT_EQ(text_mode("*** Cannot find the directory of quillan ***\n"),
              runs[i].result.err);
    EXPECT_TRUE(runs[i].calls.empty());
  }
}

TEST(QuillanTest, TracesDirectoryClassPathJavaHomeAndLaunch) {
  const std::string cwd = scratch_dir("quillan_trace");
  const std::string dir = program_dir();
  const std::string file = cwd + "trace.log";
  ASSERT_TRUE(make_dirs(cwd + "jdk"));
  ASSERT_TRUE(write_file(cwd + "file.txt", "x"));
  const std::vector<Step> head = {{"directory=" + dir},
                                  {"CLASSPATH", "value=" + beside(dir)}};
  auto launch = [](const std::string& home) {
    return vector_step(
        {"java_g", "-ms8m", "-Djava.home=" + home, "-x", kClass, "-v"});
  };
  const std::string missing = cwd + "missing";
  std::string shown;
  const bool held = in_code_page(u8"jdk\u0141", &shown);
  const struct {
    std::vector<EnvChange> env;
    std::vector<Step> steps;
  } kCases[] = {
      {{},
       {{"JAVA_HOME", "unset", "home=" + dir + kDirSep + ".."},
        launch(dir + kDirSep + "..")}},
      {{Set("JAVA_HOME", "jdk")},
       {{"JAVA_HOME=jdk", "reason=a-directory"}, launch("jdk")}},
      {{Set("JAVA_HOME", "")}, {{"JAVA_HOME=", "reason=empty"}}},
      {{Set("JAVA_HOME", "file.txt")},
       {{"JAVA_HOME=file.txt", "reason=not-a-directory"}}},
      {{Set("JAVA_HOME", missing)},
       {{"JAVA_HOME=" + missing, "reason=not-found"}}},
      {{SetUtf8("JAVA_HOME", u8"jdk\u0141")},
       {{"JAVA_HOME=" + shown,
         held ? "reason=not-found" : "reason=not-in-code-page"}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.steps[0][0]);
    std::vector<Step> steps = head;
    steps.insert(steps.end(), c.steps.begin(), c.steps.end());
    expect_traced_steps(
        [&](const std::vector<EnvChange>& env) {
          Outcome run = run_quillan({"-v", "-J-x"}, env, cwd);
          return Observed{run.result, run.record};
        },
        c.env, file, "quillan_g", steps);
  }
}

}  // namespace
