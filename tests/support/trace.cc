// Reading what a program wrote to its trace.
#include "tests/support/trace.h"

#include <stdio.h>

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
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      return ::testing::AssertionFailure()
             << "the trace does not end with a line feed:\n"
             << text;
    }
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
    start = end + 1;
  }
  size_t at = 0;
  for (const std::string& w : want) {
    while (at < lines.size() && lines[at] != w) {
      at++;
    }
    if (at == lines.size()) {
      return ::testing::AssertionFailure()
             << "missing or out of order: " << w << "\ntrace:\n"
             << text;
    }
    at++;
  }
  return ::testing::AssertionSuccess();
}
