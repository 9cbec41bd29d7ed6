// The Windows command line as pure string code: one value quoted, one
// argument written, and the whole line built within the platform's limit.
#include "rt/cmdline.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/support/argv_rules.h"

namespace {

// arg as rt_cmdline_put writes it.
std::u16string put(const std::u16string& arg) {
  const uint16_t* units = (const uint16_t*)arg.data();
  std::vector<uint16_t> out(rt_cmdline_length(units, arg.size()));
  EXPECT_EQ(out.size(), rt_cmdline_put(units, arg.size(), out.data()));
  return std::u16string(out.begin(), out.end());
}

TEST(CmdlineTest, QuotesTheRestAfterANameOrTheWholeArgumentWhereNeeded) {
  struct {
    std::u16string arg;
    std::u16string written;
  } cases[] = {
      // After a name and "=": the plain -DNAME="value" form.
      {u"-DX=", u"-DX=\"\""},
      {u"-DX=C:\\my dir\\file", u"-DX=\"C:\\my dir\\file\""},
      // An embedded quote is escaped, with the backslashes before it doubled.
      {u"-DX=a\"b", u"-DX=\"a\\\"b\""},
      {u"-DX=a\\\"b", u"-DX=\"a\\\\\\\"b\""},
      // Backslashes before the closing quote are doubled.
      {u"-DX=C:\\dir\\", u"-DX=\"C:\\dir\\\\\""},
      // Without "=": as it stands unless empty or holding a blank or quote.
      {u"java", u"java"},
      {u"C:\\dir\\", u"C:\\dir\\"},
      {u"", u"\"\""},
      {u"a b", u"\"a b\""},
      {u"a\"b", u"\"a\\\"b\""},
      // A name that needs quotes is enclosed with its value.
      {u"a b=c", u"\"a b=c\""},
  };
  for (const auto& c : cases) {
    std::u16string written = put(c.arg);
    EXPECT_EQ(c.written, written);
    std::u16string line = u"java " + written + u" next";
    for (ArgvRule rule : {kArgvOldRule, kArgvNewRule}) {
      std::vector<std::u16string> want = {u"java", c.arg, u"next"};
      EXPECT_EQ(want, parse_command_line(line, rule)) << "rule " << rule;
    }
  }
}

TEST(CmdlineTest, BuildsTheLineWithinThePlatformLimit) {
  // "a", a blank, then a value whose line with its terminator is exactly
  // the limit, and one unit more.
  for (size_t extra : {0, 1}) {
    std::u16string first = u"a";
    std::u16string second(RT_CMDLINE_MAX - 3 + extra, u'v');
    const uint16_t* args[] = {(const uint16_t*)first.data(),
                              (const uint16_t*)second.data()};
    size_t lens[] = {first.size(), second.size()};
    uint16_t* line = nullptr;
    int rc = rt_cmdline_build(args, lens, 2, &line);
    if (extra == 0) {
      ASSERT_EQ(RT_OK, rc);
      std::u16string got((const char16_t*)line);
      EXPECT_EQ(u"a " + second, got);
    } else {
      EXPECT_EQ(RT_COMMAND_LINE_TOO_LONG, rc);
      EXPECT_EQ(nullptr, line);
    }
    free(line);
  }
}

TEST(QuoteValueTest, EveryValueComesBackAsOneArgumentUnderBothParserRules) {
  // UTF-16 units: 0x8868 is a CJK character (its code-page bytes may end in
  // 0x5C, but as a unit it is no backslash); 0xFF02 and 0xFF3C are the
  // full-width quote and backslash.
  const std::u16string values[] = {
      u"",         u"plain value", u"a\"b",           u"\"",
      u"\"\"",     u"\\",          u"end\\\\\\",      u"a\\\"b",
      u"a\\\\\"b", u"\\\"",        u"\" -cp evil \"", u"\\\" -Dx=1 \"",
      u"\t tab",   u"\x8868\\\"",  u"\xFF02\xFF3C\"", u"x\"\" \"\"y",
  };
  for (const std::u16string& value : values) {
    std::u16string line = u"java -DX=";
    std::vector<uint16_t> out(
        rt_quoted_length((const uint16_t*)value.data(), value.size()));
    size_t n =
        rt_quote_value((const uint16_t*)value.data(), value.size(), out.data());
    ASSERT_EQ(out.size(), n);
    line.append(out.begin(), out.end());
    line += u" next";
    for (ArgvRule rule : {kArgvOldRule, kArgvNewRule}) {
      std::vector<std::u16string> want = {u"java", u"-DX=" + value, u"next"};
      EXPECT_EQ(want, parse_command_line(line, rule))
          << "rule " << rule << ", value of " << value.size() << " units";
    }
  }
}

TEST(CmdlineTest, SplitsTheLineAsTheRuntimesStartUpCodeDoes) {
  // UTF-16 lines: U+FF02, the fullwidth quote, is no quote and stays inside
  // its one argument, within quotes or without; 0x8868 and 0x5C as units.
  const std::u16string lines[] = {
      u"kestrel", u"\"C:\\Program Files\\k.exe\" a b",
      u"k a\\\\\"b c\" d", u"k \"a\"\" b\" \"\"", u"k \"x\"\"\" y",
      u"k a\\b\\ \\\"q \t\tend", u"k \"\" \"\"z a\"\"\"b\"",
      u"q -alias \"me\uFF02 -J-Xevil \uFF02\"", u"q me\uFF02 -Jx\uFF02",
      u"k \x8868\\ \"\x8868\\\" x\"", u" k  lead", u"k trail ",
  };
  for (const std::u16string& line : lines) {
    std::vector<uint16_t> out(2 * line.size() + 2);
    std::vector<RtCmdArg> args(line.size() / 2 + 2);
    size_t n = rt_cmdline_split((const uint16_t*)line.data(), line.size(),
                                out.data(), args.data());
    std::vector<std::u16string> got;
    for (size_t i = 0; i < n; i++) {
      got.emplace_back(out.begin() + args[i].start,
                       out.begin() + args[i].start + args[i].len);
    }
    EXPECT_EQ(parse_command_line(line, kArgvOldRule), got)
        << "line of " << line.size() << " units";
  }
}

TEST(CmdlineTest, OnlyAQuoteThatActsExemptsAnArgumentFromWildcards) {
  const struct {
    std::u16string line;
    int quoted;
  } cases[] = {
      {u"k *.txt", 0}, {u"k \"*.txt\"", 1}, {u"k a\"*\".txt", 1},
      {u"k \\\"*.txt", 0}, {u"k \uFF02*.txt\uFF02", 0},
  };
  for (const auto& c : cases) {
    std::vector<uint16_t> out(2 * c.line.size() + 2);
    std::vector<RtCmdArg> args(c.line.size() / 2 + 2);
    ASSERT_EQ(2u, rt_cmdline_split((const uint16_t*)c.line.data(),
                                   c.line.size(), out.data(), args.data()));
    EXPECT_EQ(c.quoted, args[1].quoted) << c.quoted;
  }
}


}  // namespace
