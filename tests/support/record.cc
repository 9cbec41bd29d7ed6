// Parses the stand-in VM library's record: "java_main N", "argv[i]=LITERAL",
// "env NAME=LITERAL" and "env NAME unset" lines.
#include "tests/support/record.h"

#include <stdlib.h>

#include "tests/support/proc.h"

// Reads a C string literal starting at s[pos] (the opening quote); returns
// false when it is malformed.
static bool unquote(const std::string& s, size_t pos, std::string* out) {
  if (pos >= s.size() || s[pos] != '"') {
    return false;
  }
  out->clear();
  for (size_t i = pos + 1; i < s.size(); i++) {
    char c = s[i];
    if (c == '"') {
      return i + 1 == s.size();
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= s.size()) {
      return false;
    }
    if (s[i] == 'x') {
      if (i + 2 >= s.size()) {
        return false;
      }
      *out += (char)strtol(s.substr(i + 1, 2).c_str(), nullptr, 16);
      i += 2;
    } else {
      *out += s[i];
    }
  }
  return false;
}

std::vector<VmCall> parse_record(const std::string& text) {
  std::vector<VmCall> calls;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.rfind("java_main ", 0) == 0) {
      VmCall call;
      call.count = atoi(line.c_str() + 10);
      calls.push_back(call);
      continue;
    }
    if (calls.empty()) {
      calls.push_back(VmCall());
      calls.back().count = -2;
      continue;
    }
    VmCall& call = calls.back();
    std::string value;
    if (line.rfind("argv[", 0) == 0) {
      size_t eq = line.find("]=");
      if (eq == std::string::npos || !unquote(line, eq + 2, &value)) {
        call.count = -2;
      }
      call.argv.push_back(value);
    } else if (line.rfind("env ", 0) == 0) {
      size_t eq = line.find('=');
      if (eq != std::string::npos && unquote(line, eq + 1, &value)) {
        call.env[line.substr(4, eq - 4)] = value;
      } else if (line.size() < 10 ||
                 line.compare(line.size() - 6, 6, " unset") != 0) {
        call.count = -2;
      }
    } else {
      call.count = -2;
    }
  }
  return calls;
}

std::vector<VmCall> read_record(const std::string& path) {
  return parse_record(read_file(path));
}
