// The environment library as its callers see it: a host program copied with
// the library into several directory trees reads the settings file of its own
// tree; the library exports its five names and nothing else.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>
#include <vector>

#include "tavcore/expand.h"
#include "tests/support/proc.h"
#include "tests/support/trace.h"

static const std::string S = kDirSep;

struct Tree {
  std::string host;      // the host program
  std::string settings;  // its settings folder as the library names it
};

// Installs the host (under the name host) and the library in the folder bin
// and, unless ini is null, the settings file ini in bin's ..\..\bin folder.
static Tree make_tree(const std::string& bin, const char* ini,
                      const std::string& host = "tav_host") {
  Tree t;
  t.host = bin + exe_file(host);
  t.settings = bin + ".." + S + ".." + S + "bin" + S;
  EXPECT_TRUE(make_dirs(bin));
  EXPECT_TRUE(make_dirs(t.settings));
  EXPECT_TRUE(copy_file(bin_dir() + exe_file("tav_host"), t.host));
  EXPECT_TRUE(
      copy_file(bin_dir() + lib_file("tavcore"), bin + lib_file("tavcore")));
  if (ini) {
    EXPECT_TRUE(write_file(t.settings + "vorel.ini", ini));
  }
  return t;
}

// The settings folder without its trailing separator, as %@P% gives it.
static std::string at_p(const Tree& t) {
  return t.settings.substr(0, t.settings.size() - 1);
}

static void expect_run(const Tree& t, const std::vector<std::string>& args,
                       const std::vector<EnvChange>& env,
                       const std::string& out) {
  RunResult r = run_program(t.host, args, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, text_mode(out));
}

TEST(TavcoreTest, EachProgramReadsTheSettingsOfItsOwnTree) {
  std::string root = scratch_dir("tavcore_trees");
  Tree a = make_tree(root + "a" + S + "P" + S + "Java" + S + "bin" + S,
                     "[Environment]\nCLASSPATH=from-a\nTAVK_DIR=%@P%\n");
  Tree b = make_tree(root + "b" + S + "Q" + S + "bin" + S,
                     "[Environment]\nCLASSPATH=from-b\nTAVK_DIR=%@P%\n");
  // %@P% is the folder as formed, not normalised.
  expect_run(a, {"cp", "get", "TAVK_DIR"}, {Unset("CLASSPATH")},
             "cp=from-a\nTAVK_DIR=" + at_p(a) + "\n");
  expect_run(b, {"cp", "get", "TAVK_DIR"}, {Unset("CLASSPATH")},
             "cp=from-b\nTAVK_DIR=" + at_p(b) + "\n");
  // Folder and file names whose characters end in the byte of "\".
  const std::string name = trail_5c_name();
  if (!name.empty()) {
    Tree c = make_tree(root + "c" + S + name + S + "bin" + S,
                       "[Environment]\nCLASSPATH=from-c\nTAVK_DIR=%@P%\n",
                       name);
    expect_run(c, {"cp", "get", "TAVK_DIR"}, {Unset("CLASSPATH")},
               "cp=from-c\nTAVK_DIR=" + at_p(c) + "\n");
  }
}

TEST(TavcoreTest, AProgramTooDeepReadsNoOtherFoldersSettings) {
  // Cut inside a character at the limit, the path would name an ancestor
  // folder: each ancestor's bin holds a settings file of its own.
  const std::string root = scratch_dir("tavcore_deep");
  const std::string dir = deep_folder(root);
  if (dir.empty()) {
    GTEST_SKIP() << "the platform cannot make a folder this deep";
  }
  // From the test's own folder down, never above it.
  for (size_t end = root.size() - 1; end < dir.find('\x83');
       end = dir.find(S, end + 1)) {
    const std::string bin = dir.substr(0, end + 1) + "bin" + S;
    ASSERT_TRUE(make_dirs(bin));
    ASSERT_TRUE(write_file(bin + "vorel.ini", "[Environment]\nTAVK_TRAP=1\n"));
  }
  Tree t = make_tree(dir + "bin" + S, nullptr);
  RunResult r = run_program(t.host, {"init", "0", "get", "TAVK_TRAP"}, {});
  if (r.status == -1) {
    GTEST_SKIP() << "the platform cannot start a program this deep";
  }
  EXPECT_EQ(text_mode("init=1\nTAVK_TRAP unset\n"), r.out);
}

TEST(TavcoreTest, KeepsEveryCharacterOfTheEnvironmentAndTheFile) {
  std::string root = scratch_dir("tavcore_text");
  // Characters that no code page of the tests holds, and some that one does.
  const std::string path = u8"C:\\Users\\\u0141ukasz\\bin" +
                           std::string(kListSep) + u8"C:\\\u5B66\u6821";
  const std::string city = u8"\u4E0A\u6D77";
  // UTF-16 LE with its mark: 上 is stored 0A 4E.
  std::u16string ini = u"\uFEFF[Environment]\r\nPath = %@P%;%PATH%\r\n"
                       u"CITY=\u4E0A\u6D77\r\nNAME=Jos\u00E9\r\n";
  std::string bytes;
  for (char16_t unit : ini) {
    bytes += (char)(unit & 0xFF);
    bytes += (char)(unit >> 8);
  }
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S, nullptr);
  ASSERT_TRUE(write_file(t.settings + "vorel.ini", bytes));
  expect_run(t, {"init", "0", "wget", "PATH", "wget", "CITY", "wget", "NAME"},
             {SetUtf8("PATH", path)},
             "init=0\nPATH=" + at_p(t) + ";" + path + "\nCITY=" + city +
                 "\nNAME=Jos\xC3\xA9\n");
  // A name whose second byte would be a letter in a double-byte code page;
  // the runtime's narrow getenv takes the two names for one.
  std::string name, other;
  if (in_code_page(u8"\u5B66\u6821", &name) &&
      in_code_page(u8"\u84CB\u6821", &other)) {
    Tree n = make_tree(root + "N" + S + "Java" + S + "bin" + S,
                       ("[Environment]\n" + name + "=tokyo\n").c_str());
    expect_run(n, {"init", "0", "wget", name, "wget", other}, {},
               "init=0\n" + name + "=tokyo\n" + other + " unset\n");
  }
  // A file without a mark written in another encoding: in a double-byte
  // code page a lead byte before a letter is a character, before a blank or
  // the line end it is no text. Such bytes reach the runtime's table as
  // written, and a later line takes them so; the next line stays its own.
  // Such a line that takes a value the code page cannot hold is skipped;
  // where "\xE9 " is text (cp1252, or bytes on POSIX) it is applied.
  const std::string acc = "\xE9t\xE9 \xC3\xA9";
  const std::string unheld = u8"\u0141";
  std::string e_acute;
  in_code_page(u8"\u00E9", &e_acute);
  const std::string l =
      e_acute == "\xE9"     ? "ACC_L=" + std::string(u8"\u00E9 ") + unheld
      : e_acute == u8"\u00E9" ? "ACC_L=\xE9 " + unheld
                             : "ACC_L unset";
  Tree b = make_tree(root + "B" + S + "Java" + S + "bin" + S,
                     ("[Environment]\nACC_A=" + acc +
                      "\nACC_X=x\x81\nACC_N=next\nACC_B=%ACC_A%!\n"
                      "ACC_L=\xE9 %ACC_U%\n")
                         .c_str());
  expect_run(b,
             {"init", "0", "get", "ACC_A", "get", "ACC_X", "get", "ACC_N",
              "get", "ACC_B", "wget", "ACC_L"},
             {SetUtf8("ACC_U", unheld)},
             "init=0\nACC_A=" + acc + "\nACC_X=x\x81\nACC_N=next\nACC_B=" +
                 acc + "!\n" + l + "\n");
}

TEST(TavcoreTest, WorksFromAFolderTheCodePageLacks) {
  Utf8Text utf8;
  // Ł is in none of the code pages of the tests; on POSIX bytes are bytes.
  std::string root = scratch_dir("tavcore_unheld") + u8"\u0141ukasz" + S;
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S,
                     "[Environment]\r\nPath = %@P%;%PATH%\r\n");
  RunResult r = run_program(t.host, {"init", "0", "wget", "PATH", "ext"},
                            {Set("PATH", "C:\\WINDOWS"), Unset("CLASSPATH")});
  EXPECT_EQ(0, r.status) << r.err;
  const std::string want = "init=0\nPATH=" + at_p(t) + ";C:\\WINDOWS\n";
  ASSERT_EQ(0u, r.out.find(text_mode(want))) << r.out;
  // The extended class path names the same folders, by the short name
  // where the code page lacks a character, or is null; never a stand-in.
  const std::string tail = r.out.substr(text_mode(want).size());
  std::string cp;
  if (in_code_page(root, &cp)) {
    EXPECT_EQ(0u, tail.find("ext=." + std::string(kListSep) + cp)) << tail;
  } else if (tail != text_mode("ext null\n")) {
    EXPECT_EQ(0u, tail.find("ext=." + std::string(kListSep))) << tail;
    EXPECT_EQ(std::string::npos, tail.find('?')) << tail;
  }
}

TEST(TavcoreTest, ExtendedClasspathAddsTheProductsClasses) {
  std::string root = scratch_dir("tavcore_ext");
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S,
                     "[Environment]\nTAVK_OTHER=1\n");
  std::string entries = kListSep + t.settings + S + ".." + S + "classes" +
                        kListSep + t.settings + S + ".." + S + "lib" + S +
                        "classes.zip";
  std::string value = "A" + std::string(kListSep) + "B";
  expect_run(t, {"ext"}, {Unset("CLASSPATH")}, "ext=." + entries + "\n");
  expect_run(t, {"ext"}, {Set("CLASSPATH", value)},
             "ext=" + value + entries + "\n");
  expect_run(t, {"ext"}, {Set("CLASSPATH", "")}, "ext=" + entries + "\n");
}

TEST(TavcoreTest, ReadsOnceUnlessForced) {
  std::string root = scratch_dir("tavcore_once");
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S,
                     "[Environment]\nTAVK_N=1\n");
  write_file(t.settings + "next.ini",
             "[Environment]\nTAVK_N=2\nTAVK_M=%TAVK_N%+\n");
  expect_run(t,
             {"init", "0", "get", "TAVK_N", "copy", t.settings + "next.ini",
              t.settings + "vorel.ini", "init", "0", "get", "TAVK_N", "init",
              "1", "get", "TAVK_N", "get", "TAVK_M"},
             {},
             "init=0\nTAVK_N=1\ninit=0\nTAVK_N=1\ninit=0\nTAVK_N=2\n"
             "TAVK_M=2+\n");
  Tree none = make_tree(root + "Q" + S + "Java" + S + "bin" + S, nullptr);
  expect_run(none, {"init", "0", "init", "0", "cp"}, {Unset("CLASSPATH")},
             "init=1\ninit=0\ncp unset\n");
}

TEST(TavcoreTest, SharesTheCallersRuntime) {
  std::string root = scratch_dir("tavcore_runtime");
  Tree t = make_tree(root + "P" + S + "bin" + S, nullptr);
  expect_run(t,
             {"put", "TAVK_P=v", "get", "TAVK_P", "put", "TAVK_P=", "get",
              "TAVK_P", "put", "novalue", "put", "=x", "dup", "a b"},
             {},
             "put=0\nTAVK_P=v\nput=0\nTAVK_P unset\nput=-1\nput=-1\n"
             "dup=a b\n");
}

// Junk of every byte value, as a linear congruential generator gives it.
static std::string junk(size_t size) {
  std::string out;
  unsigned seed = 12345;
  for (size_t i = 0; i < size; i++) {
    seed = seed * 1103515245u + 12345u;
    out += (char)(seed >> 16);
  }
  return out;
}

TEST(TavcoreTest, MalformedSettingsAreReadCleanly) {
  std::string root = scratch_dir("tavcore_junk");
  // The long value stays below the 32767 bytes that Windows keeps.
  std::string file = "[Environment]\nTAVK_LONG=" + std::string(30000, 'x') +
                     "\nTAVK_PCT=%%%TAVK_U%%%x%TAVK_U%y%\n" + junk(20000);
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S, nullptr);
  write_file(t.settings + "vorel.ini", file);
  expect_run(t, {"init", "0", "len", "TAVK_LONG", "get", "TAVK_PCT"}, {},
             "init=0\nlen=30000\nTAVK_PCT=xy%\n");

  // A folder whose name holds %@P% feeds the reference to itself; the
  // settings directory is inserted a bounded number of times.
  std::string a = root + "c" + S + "x";
  Tree self = make_tree(a + "%@P%y" + S + "Java" + S + "bin" + S,
                        "[Environment]\nTAVK_SELF=%@P%\n");
  std::string b = at_p(self).substr(a.size() + 4);
  std::string expected;
  for (int i = 0; i < TAV_MAX_DIR_INSERTS; i++) {
    expected += a;
  }
  expected += "%@P%";
  for (int i = 0; i < TAV_MAX_DIR_INSERTS; i++) {
    expected += b;
  }
  expect_run(self, {"init", "0", "get", "TAVK_SELF"}, {},
             "init=0\nTAVK_SELF=" + expected + "\n");
}

// Runs the host of tree, traced to standard error and not, and expects the
// same run and, after the library's first steps, steps in its trace.
static void expect_traced(const Tree& tree, const std::vector<Step>& steps) {
  std::vector<std::string> args = {"cp", "ext", "get", "TAVK_A"};
  // Twice this value passes the most that one line may expand to.
  std::vector<EnvChange> env = {Set("CLASSPATH", "A b"),
                                Set("TAVK_X", std::string(20000, 'x'))};
  SCOPED_TRACE(tree.host);
  std::vector<Step> all = {
      {"initialize", "force=0"},
      {"executable=" + tree.host, "directory=" + tree.settings}};
  all.insert(all.end(), steps.begin(), steps.end());
  expect_traced_steps(
      [&](const std::vector<EnvChange>& e) {
        return Observed{run_program(tree.host, args, e), ""};
      },
      env, "1", "tavcore", all, true);
}

TEST(TavcoreTest, TracesTheSettingsReadAndTheClassPaths) {
  std::string root = scratch_dir("tavcore_trace");
  const char* ini =
      "TAVK_OUT=1\n; note\n\n[ Environment ]\ntavk_a = %@P%\nnovalue\n"
      "TAVK_B=\n=x\nTAVK_BIG=%TAVK_X%%TAVK_X%\n[Other]\nTAVK_C=1\n";
  Tree t = make_tree(root + "P" + S + "Java" + S + "bin" + S, ini);
  Tree none = make_tree(root + "Q" + S + "Java" + S + "bin" + S, nullptr);
  Tree dir = make_tree(root + "R" + S + "Java" + S + "bin" + S, nullptr);
  ASSERT_TRUE(make_dirs(dir.settings + "vorel.ini"));
  std::string ext = "A b" + std::string(kListSep) + t.settings + S + ".." + S +
                    "classes" + kListSep + t.settings + S + ".." + S + "lib" +
                    S + "classes.zip";
  const std::string file = "file=" + t.settings + "vorel.ini";
  const struct {
    const Tree& tree;
    std::vector<Step> steps;
  } kCases[] = {
      {t,
       {{file, "opened"},
        {"line=1", "reason=outside-section", "text=TAVK_OUT=1"},
        {"line=2", "reason=comment", "text=; note"},
        {"line=3", "reason=empty", "text="},
        {"line=4", "section=[ Environment ]", "on"},
        {"line=5", "name=TAVK_A", "value=" + at_p(t)},
        {"line=6", "reason=refused", "text=NOVALUE"},
        {"line=7", "removed", "name=TAVK_B"},
        {"line=8", "reason=refused", "text==x"},
        {"line=9", "reason=expands-past-limit",
         "text=TAVK_BIG=%TAVK_X%%TAVK_X%"},
        {"line=10", "section=[Other]", "off"},
        {"line=11", "reason=outside-section", "text=TAVK_C=1"},
        {file, "read", "after=11"},
        {"TAVGetClasspath", "returns=A b"},
        {"initialize", "force=0", "skipped"},
        {"TAVGetExtendedClasspath", "returns=" + ext}}},
      {none,
       {{"file=" + none.settings + "vorel.ini", "reason=not-found"},
        {"TAVGetClasspath", "returns=A b"}}},
      {dir,
       {{"file=" + dir.settings + "vorel.ini", "reason=not-a-regular-file"}}},
  };
  for (const auto& c : kCases) {
    expect_traced(c.tree, c.steps);
  }
}

TEST(TavcoreTest, TracesASettingsFileThatCannotBeRead) {
  std::string root = scratch_dir("tavcore_trace_locked");
  Tree locked = make_tree(root + "S" + S + "Java" + S + "bin" + S, nullptr);
  if (!make_unreadable_file(locked.settings + "vorel.ini")) {
    GTEST_SKIP() << "the platform cannot make a file that exists unreadable";
  }
  expect_traced(locked, {{"file=" + locked.settings + "vorel.ini",
                          "reason=unreadable"}});
}

#ifdef _WIN32
typedef HMODULE Library;
static Library open_library(const std::string& path) {
  return LoadLibraryA(path.c_str());
}
static void* find(Library lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(lib, name));
}
static void close_library(Library lib) {
  FreeLibrary(lib);
}
#else
typedef void* Library;
static Library open_library(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
static void* find(Library lib, const char* name) {
  return dlsym(lib, name);
}
static void close_library(Library lib) {
  dlclose(lib);
}
#endif

TEST(TavcoreTest, ExportsTheFiveNamesAlone) {
  static const char* const kExports[] = {
      "TAVGetClasspath", "TAVGetExtendedClasspath", "TAVInitializeEnvironment",
      "TAV_putenv", "TAV_strdup"};
  static const char* const kHidden[] = {"tav_expand", "tav_load_settings",
                                        "rt_getenv", "DllMain"};
  Library lib = open_library(bin_dir() + lib_file("tavcore"));
  ASSERT_TRUE(lib != nullptr);
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(kExports[i]);
    EXPECT_NE(find(lib, kExports[i]), nullptr);
#ifdef _WIN32
    // Ordinals 1 to 5 follow the byte order of the names.
    EXPECT_EQ(
        reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(i + 1))),
        find(lib, kExports[i]));
#endif
  }
#ifdef _WIN32
  EXPECT_EQ(GetProcAddress(lib, MAKEINTRESOURCEA(6)), nullptr);
#endif
  for (const char* name : kHidden) {
    EXPECT_EQ(find(lib, name), nullptr) << name;
  }
  close_library(lib);
}
