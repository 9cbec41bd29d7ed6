// Parses the stand-ins' record: "vector count=N", "arg VALUE",
// "env NAME=VALUE", "env NAME unset" and "handle WORDS" lines.
#include "tests/support/record.h"

#include <stdlib.h>
#include <string.h>

#include <sstream>

#include "tests/support/proc.h"

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

bool read_value(const std::string& s, size_t* pos, std::string* value) {
  size_t i = *pos;
  if (s.compare(i, 1, "\"") != 0) {
    return false;
  }
  value->clear();
  for (i++; i < s.size() && s[i] != '"'; i++) {
    if (s[i] != '\\') {
      *value += s[i];
    } else if (s[i + 1] == '"' || s[i + 1] == '\\') {
      *value += s[++i];
    } else if (s[i + 1] == 'x' &&
               strspn(s.c_str() + i + 2, "0123456789ABCDEF") >= 2) {
      *value += (char)strtol(s.substr(i + 2, 2).c_str(), nullptr, 16);
      i += 3;
    } else {
      return false;
    }
  }
  *pos = i + 1;
  return i < s.size();
}

std::vector<Call> parse_record(const std::string& text) {
  std::vector<Call> calls;
  for (const std::string& line : lines_of(text)) {
    // A line before the first call's start makes a malformed call.
    const bool start = line.rfind("vector count=", 0) == 0;
    if (start || calls.empty()) {
      calls.push_back(Call());
      calls.back().count = start ? atoi(line.c_str() + 13) : -2;
      continue;
    }
    Call& call = calls.back();
    // The value that ends the line: the entry, or the variable's value.
    const bool arg = line.rfind("arg ", 0) == 0;
    size_t at = arg ? 4 : line.find('=') + 1, eq = at - 1;
    std::string value;
    bool ok = read_value(line, &at, &value) && at == line.size();
    if (arg) {
      call.argv.push_back(value);
    } else if (line.rfind("env ", 0) == 0 && ok) {
      call.env[line.substr(4, eq - 4)] = value;
    } else if (line.rfind("env ", 0) == 0) {
      ok = line.size() > 10 && line.compare(line.size() - 6, 6, " unset") == 0;
    } else {
      ok = line.rfind("handle ", 0) == 0;
      call.handle = ok ? line.substr(7) : "";
    }
    if (!ok) {
      call.count = -2;
    }
  }
  return calls;
}

std::vector<std::string> one_call(const std::vector<Call>& calls) {
  if (calls.size() != 1 || calls[0].count != (int)calls[0].argv.size()) {
    return {"(not one whole call)"};
  }
  return calls[0].argv;
}

std::vector<Call> read_record(const std::string& path) {
  return parse_record(read_file(path));
}
