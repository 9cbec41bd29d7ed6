// Reading what a program wrote to its trace.
#include "tests/support/trace.h"

#include <stdio.h>

#include <algorithm>

std::string traced(const std::string& value) {
  std::string out = "\"";
  char hex[8];
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += (char)c;
    } else if (c < 0x20 || c > 0x7e) {
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += (char)c;
    }
  }
  return out + "\"";
}

::testing::AssertionResult has_lines(const std::string& text,
                                     const std::vector<std::string>& want) {
  // A carriage return only ever stands before a line feed: the trace
  // escapes every other one.
  std::string all = "\n" + text;
  all.erase(std::remove(all.begin(), all.end(), '\r'), all.end());
  size_t at = 0;
  for (const std::string& w : want) {
    at = all.find("\n" + w + "\n", at);
    if (at == std::string::npos) {
      return ::testing::AssertionFailure()
             << "missing or out of order: " << w << "\ntrace:\n" << text;
    }
    at += w.size() + 1;
  }
  return ::testing::AssertionSuccess();
}

Observed expect_trace_changes_nothing(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace, bool quiet) {
  Observed plain = run(env);
  std::vector<EnvChange> traced_env = env;
  traced_env.push_back(Set("NORVANE_TRACE", trace));
  Observed got = run(traced_env);
  EXPECT_EQ(plain.result.status, got.result.status);
  EXPECT_EQ(plain.result.out, got.result.out);
  EXPECT_EQ(plain.handed, got.handed);
  if (trace != "1") {
    EXPECT_EQ(plain.result.err, got.result.err);
  }
  if (quiet) {
    EXPECT_EQ("", plain.result.err);
  }
  return got;
}
