// Argument expansion: the word splitter's quoting rules, @NAME from variables
// and response files, nesting, limits and allocation failures.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "loader/loader.h"
#include "rt/path.h"
#include "rt/rt.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"

namespace {

using Words = std::vector<std::string>;

Words split(const std::string& text, int* rescan = nullptr) {
  // The splitter may write one byte past the text.
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('!');
  RtList args = {0, 0, nullptr};
  int flag = 0;
  EXPECT_EQ(0, ldr_split(buf.data(), buf.data() + text.size(), &args, &flag));
  Words words(args.items, args.items + args.count);
  free(args.items);
  if (rescan) {
    *rescan = flag;
  }
  return words;
}

struct SplitCase {
  const char* name;
  std::string text;
  Words words;
};

const SplitCase kSplitCases[] = {
    {"blanks tabs and line ends separate", " a\tb\r\nc  ", {"a", "b", "c"}},
    {"zero bytes separate and end words", std::string("a\0b", 3), {"a", "b"}},
    {"quotes keep blanks", "\"C:\\My Dir\" x", {"C:\\My Dir", "x"}},
    {"three backslashes and a quote", "a\\\\\\\"b", {"a\\\"b"}},
    {"four backslashes and a quote", "a\\\\\\\\\"b c\"", {"a\\\\b c"}},
    {"backslashes without a quote stand", "C:\\a\\\\b\\", {"C:\\a\\\\b\\"}},
    {"quote inside a word", "ab\"c d\"e f", {"abc de", "f"}},
    {"two quotes never give a quote", "\"a\"\"b c\"", {"ab c"}},
    {"two quotes alone give an empty word", "\"\"", {""}},
    {"line feed ends an open quote", "\"a b\nc d\"", {"a b", "c", "d"}},
    {"carriage return is dropped in a word", "a\rb", {"ab"}},
    {"carriage return keeps the backslash run", "a\\\r\"b", {"a\"b"}},
    {"ctrl-z between words ends the text", "a \x1a b", {"a"}},
    {"ctrl-z in a word ends word and text", "ab\x1a" "cd ef", {"ab"}},
    {"nothing but white space", " \t\r\n\r\n ", {}},
    {"empty text", "", {}},
    // Under code page 932 ソ is 83 5C, whose second byte is no backslash.
    {"a character ending in 5C before a quote", "\"C:\\\x83\x5C\" x",
     {"C:\\\x83\x5C", "x"}},
    {"a character ending in 5C, then \\\"", "a\x83\x5C\\\"b", {"a\x83\x5C\"b"}},
    {"a lead byte before a quote stands alone", "\"a\x83\" b", {"a\x83", "b"}},
    {"a lead byte before a blank", "a\x83 b", {"a\x83", "b"}},
};

TEST(SplitTest, FollowsTheQuotingRules) {
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  for (const SplitCase& c : kSplitCases) {
    EXPECT_EQ(c.words, split(c.text)) << c.name;
  }
  rt_set_lead_test(before);
}

TEST(SplitTest, AtSignAnywhereAsksForAnotherPass) {
  struct {
    const char* text;
    int rescan;
  } cases[] = {{"@inner", 1}, {"x@y", 1}, {"\"a @b\"", 1}, {"plain", 0},
               // Under code page 932 81 40 is one character, its 40 no "@";
               // 80 is no lead byte.
               {"\x81\x40", 0}, {"\x80\x40", 1}};
  RtLeadByteTest before = rt_set_lead_test(test_cp932_lead);
  for (const auto& c : cases) {
    int rescan = -1;
    split(c.text, &rescan);
    EXPECT_EQ(c.rescan, rescan) << c.text;
  }
  rt_set_lead_test(before);
}

// Sets a variable for the rest of the test binary's run.
void set_env(const std::string& name, const std::string& value) {
  ASSERT_TRUE(test_putenv(name + "=" + value));
}

// Runs the expansion on args; returns the resulting list, or the original
// when it failed (*ok says which).
Words expand(const Words& in, bool* ok) {
  std::vector<char*> argv;
  for (const std::string& s : in) {
    argv.push_back(strdup(s.c_str()));
  }
  argv.push_back(nullptr);
  int argc = (int)in.size();
  char** list = argv.data();
  *ok = ldr_expand(&argc, &list) == 0;
  Words out(list, list + argc);
  if (*ok) {
    EXPECT_EQ(nullptr, list[argc]) << "the list ends in a null entry";
    free(list);
  } else {
    EXPECT_EQ(argv.data(), list);
    EXPECT_EQ((int)in.size(), argc);
  }
  for (char* s : argv) {
    free(s);
  }
  return out;
}

class ExpandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_dir(
        std::string("args_") +
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string file(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + name;
    EXPECT_TRUE(write_file(path, bytes));
    return path;
  }
  std::string dir_;
};

TEST_F(ExpandTest, VariableWordsReplaceTheArgumentInPlace) {
  set_env("LDR_OPTS", "-verbose -classpath \"C:\\My Dir\" Hello");
  bool ok;
  Words out = expand({"kestrel", "-v", "@LDR_OPTS", "tail"}, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ((Words{"kestrel", "-v", "-verbose", "-classpath", "C:\\My Dir",
                   "Hello", "tail"}),
            out);
}

TEST_F(ExpandTest, RelativeFilesAreFoundFromTheCurrentFolder) {
  // The tests run in the scratch folder.
  ASSERT_TRUE(write_file("LDR_BOTH", "from-file"));
  bool ok;
  EXPECT_EQ((Words{"k", "from-file"}), expand({"k", "@LDR_BOTH"}, &ok));
  EXPECT_TRUE(ok);
  set_env("LDR_BOTH", "from-variable");
  EXPECT_EQ((Words{"k", "from-variable"}), expand({"k", "@LDR_BOTH"}, &ok));
  EXPECT_TRUE(ok);
}

TEST_F(ExpandTest, EmptySourcesLeaveNoTrace) {
  set_env("LDR_EMPTY", "");
  std::string blank = file("blank", " \t\r\n\n  \r\n");
  bool ok;
  Words out = expand({"k", "@" + blank, "a", "@" + file("zero", "")}, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ((Words{"k", "a"}), out);
  // On Windows a variable cannot hold an empty value; elsewhere it can.
  if (rt_getenv("LDR_EMPTY")) {
    EXPECT_EQ((Words{"k", "b"}), expand({"k", "@LDR_EMPTY", "b"}, &ok));
    EXPECT_TRUE(ok);
  }
}

TEST_F(ExpandTest, ResponseFileLineEndsAndCtrlZ) {
  bool ok;
  Words lf = expand({"k", "@" + file("lf", "-v\n\"a b\"\nHello x\n")}, &ok);
  EXPECT_TRUE(ok);
  Words crlf =
      expand({"k", "@" + file("crlf", "-v\r\n\"a b\"\r\nHello x\r\n")}, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ((Words{"k", "-v", "a b", "Hello", "x"}), lf);
  EXPECT_EQ(lf, crlf);
  EXPECT_EQ((Words{"k", "a", "b", "z"}),
            expand({"k", "@" + file("ctrlz", "a b\x1a" "c d"), "z"}, &ok));
}

TEST_F(ExpandTest, ResponseFileSizeLimit) {
  bool ok;
  std::string fits(65535, 'x');
  Words out = expand({"k", "@" + file("fits", fits)}, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ((Words{"k", fits}), out);

  std::string big = "@" + file("big", std::string(65536, 'x'));
  EXPECT_EQ((Words{"k", big, "@LDR_OPTS"}), expand({"k", big, "@LDR_OPTS"}, &ok));
  EXPECT_FALSE(ok);
}

TEST_F(ExpandTest, MissingSourcesLeaveTheListUnexpanded) {
  set_env("LDR_OPTS", "-v");
  std::vector<Words> cases = {
      {"k", "@LDR_OPTS", "@" + dir_ + "missing"},
      {"k", "@", "@LDR_OPTS"},
      {"k", "@" + dir_},  // a folder is not a response file
      {"k", "@LDR_OPTS", std::string("@") + kNullDevice},
  };
  // Nor is a FIFO, whose open would wait for a writer that never comes.
  if (make_fifo(dir_ + "fifo")) {
    cases.push_back({"k", "@LDR_OPTS", "@" + dir_ + "fifo"});
  }
  for (const Words& in : cases) {
    bool ok;
    EXPECT_EQ(in, expand(in, &ok)) << in[1];
    EXPECT_FALSE(ok) << in[1];
  }
}

TEST_F(ExpandTest, NestedArgumentsExpandInLaterPasses) {
  std::string inner = file("inner", "deep \"x@y\"");
  std::string outer = file("outer", "a @" + inner + " b");
  set_env("LDR_TOP", "@" + outer + " top");
  bool ok;
  EXPECT_EQ((Words{"k", "a", "deep", "x@y", "b", "top"}),
            expand({"k", "@LDR_TOP"}, &ok));
  EXPECT_TRUE(ok);
}

TEST_F(ExpandTest, SelfReferenceFailsInsteadOfRunningForever) {
  std::string self = dir_ + "self";
  file("self", "x @" + self);
  std::string a = dir_ + "a";
  std::string b = dir_ + "b";
  file("a", "@" + b + " @" + b);
  file("b", "@" + a + " @" + a);
  // A large file that names itself twice runs into the text limit first.
  std::string big = dir_ + "big";
  file("big", std::string(60000, 'x') + " @" + big + " @" + big);
  const Words cases[] = {
      {"k", "@" + self}, {"k", "@" + a, "tail"}, {"k", "@" + big}};
  for (const Words& in : cases) {
    bool ok;
    EXPECT_EQ(in, expand(in, &ok));
    EXPECT_FALSE(ok);
  }
}

TEST_F(ExpandTest, AnExpansionJustWithinItsBudgetsSucceeds) {
  // The budgets that kestrel(1) gives.
  EXPECT_EQ(8192, LDR_MAX_SOURCES);
  EXPECT_EQ(4ul << 20, LDR_MAX_TEXT);
  auto plus = [](Words words, const std::string& word) {
    words.push_back(word);
    return words;
  };
  set_env("LDR_ONE", "w");
  Words sources(LDR_MAX_SOURCES, "@LDR_ONE");
  // Whole response files, then one that ends at the text budget or past it.
  size_t files = LDR_MAX_TEXT / LDR_MAX_RESPONSE_FILE;
  size_t rest = LDR_MAX_TEXT % LDR_MAX_RESPONSE_FILE;
  Words texts(files, "@" + file("whole", std::string(LDR_MAX_RESPONSE_FILE - 1,
                                                     ' ') + "f"));
  const struct {
    Words in;
    Words out;  // empty when the expansion fails
  } kCases[] = {
      {sources, Words(LDR_MAX_SOURCES, "w")},
      {plus(sources, "@LDR_ONE"), {}},
      {plus(texts, "@" + file("last", std::string(rest - 1, ' ') + "r")),
       plus(Words(files, "f"), "r")},
      {plus(texts, "@" + file("over", std::string(rest, ' ') + "r")), {}},
  };
  for (const auto& c : kCases) {
    bool ok;
    EXPECT_EQ(c.out.empty() ? c.in : c.out, expand(c.in, &ok));
    EXPECT_EQ(!c.out.empty(), ok);
  }
}

TEST_F(ExpandTest, NestingIsBoundedByThePassLimit) {
  // One pass per level: the pass that finds no "@" ends the expansion.
  std::string text = "end";
  for (int level = LDR_MAX_PASSES; level > 0; level--) {
    text = "@" + file("level" + std::to_string(level), text);
  }
  bool ok;
  EXPECT_EQ((Words{"k", "end"}), expand({"k", text}, &ok));
  EXPECT_TRUE(ok);
  std::string deeper = "@" + file("level0", text);
  EXPECT_EQ((Words{"k", deeper}), expand({"k", deeper}, &ok));
  EXPECT_FALSE(ok);
}

TEST_F(ExpandTest, ElementZeroIsExpandedToo) {
  set_env("LDR_PROG", "prog extra");
  bool ok;
  EXPECT_EQ((Words{"prog", "extra", "a"}), expand({"@LDR_PROG", "a"}, &ok));
  EXPECT_TRUE(ok);
}

TEST_F(ExpandTest, EveryAllocationFailureLeavesTheListAsItWas) {
  std::string inner = file("inner", "i1 i2 i3 i4 i5 i6 i7 i8 i9");
  set_env("LDR_FAULT", "a b c @" + inner + " d e f g h i j k");
  const Words in = {"k", "@LDR_FAULT", "z"};
  int made = each_fault([&](const Fault& fault) {
    std::vector<char*> argv;
    for (const std::string& s : in) {
      argv.push_back(const_cast<char*>(s.c_str()));
    }
    argv.push_back(nullptr);
    int argc = (int)in.size();
    char** list = argv.data();
    int rc = -1;
    bool struck = run_with_fault(fault, [&] { rc = ldr_expand(&argc, &list); });
    SCOPED_TRACE(describe(fault));
    if (!struck) {
      ASSERT_EQ(0, rc);
      EXPECT_EQ(22, argc);
      free(list);
      return;
    }
    EXPECT_EQ(1, rc);
    EXPECT_EQ(argv.data(), list);
    EXPECT_EQ(3, argc);
  });
  EXPECT_GE(made, 3) << "the expansion allocates the copy, the file and arrays";
}

}  // namespace
