// Parses the stand-ins' record: "vector count=N", "arg VALUE",
// "env NAME=VALUE", "env NAME unset" and "handle WORDS" lines.
#include "tests/support/record.h"

#include <ctype.h>
#include <stdlib.h>

#include "tests/support/proc.h"

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    lines.push_back(text.substr(start, end - start));
    if (!lines.back().empty() && lines.back().back() == '\r') {
      lines.back().pop_back();
    }
  }
  return lines;
}

static bool is_hex(char c) {
  return isxdigit((unsigned char)c) != 0;
}

bool read_value(const std::string& s, size_t* pos, std::string* value) {
  size_t i = *pos;
  if (i >= s.size() || s[i] != '"') {
    return false;
  }
  value->clear();
  for (i++; i < s.size() && s[i] != '"'; i++) {
    if (s[i] != '\\') {
      *value += s[i];
    } else if (i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
      *value += s[++i];
    } else if (i + 3 < s.size() && s[i + 1] == 'x' && is_hex(s[i + 2]) &&
               is_hex(s[i + 3])) {
      *value += (char)strtol(s.substr(i + 2, 2).c_str(), nullptr, 16);
      i += 3;
    } else {
      return false;
    }
  }
  *pos = i + 1;
  return i < s.size();
}

// Reads the value that ends line from pos.
static bool value_ends(const std::string& line, size_t pos,
                       std::string* value) {
  return read_value(line, &pos, value) && pos == line.size();
}

std::vector<Call> parse_record(const std::string& text) {
  std::vector<Call> calls;
  for (const std::string& line : lines_of(text)) {
    if (line.rfind("vector count=", 0) == 0) {
      calls.push_back(Call());
      calls.back().count = atoi(line.c_str() + 13);
      continue;
    }
    if (calls.empty()) {
      calls.push_back(Call());
      calls.back().count = -2;
      continue;
    }
    Call& call = calls.back();
    std::string value;
    size_t eq = line.find('=');
    bool ok = true;
    if (line.rfind("arg ", 0) == 0) {
      ok = value_ends(line, 4, &value);
      call.argv.push_back(value);
    } else if (line.rfind("env ", 0) == 0 && eq != std::string::npos) {
      ok = value_ends(line, eq + 1, &value);
      call.env[line.substr(4, eq - 4)] = value;
    } else if (line.rfind("env ", 0) == 0) {
      ok = line.size() > 10 && line.compare(line.size() - 6, 6, " unset") == 0;
    } else if (line.rfind("handle ", 0) == 0) {
      call.handle = line.substr(7);
    } else {
      ok = false;
    }
    if (!ok) {
      call.count = -2;
    }
  }
  return calls;
}

std::vector<Call> read_record(const std::string& path) {
  return parse_record(read_file(path));
}
