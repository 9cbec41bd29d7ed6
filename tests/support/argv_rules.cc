// The Windows runtime's command-line parser, modelled on UTF-16 text.
#include "tests/support/argv_rules.h"

static bool blank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::vector<std::u16string> parse_command_line(const std::u16string& line,
                                               ArgvRule rule) {
  std::vector<std::u16string> args;
  size_t p = 0;
  size_t n = line.size();
  auto at = [&](size_t i) -> char16_t { return i < n ? line[i] : u'\0'; };

  // The program name: quotes toggle, backslashes are plain text.
  std::u16string name;
  bool inquote = false;
  while (p < n && (inquote || !blank(line[p]))) {
    if (line[p] == u'"') {
      inquote = !inquote;
    } else {
      name += line[p];
    }
    p++;
  }
  args.push_back(name);

  for (;;) {
    while (p < n && blank(line[p])) {
      p++;
    }
    if (p >= n) {
      break;
    }
    std::u16string arg;
    inquote = false;
    for (;;) {
      bool copy = true;
      size_t slashes = 0;
      while (at(p) == u'\\') {
        p++;
        slashes++;
      }
      if (at(p) == u'"') {
        if (slashes % 2 == 0) {
          if (rule == kArgvOldRule) {
            if (inquote && at(p + 1) == u'"') {
              p++;
            } else {
              copy = false;
            }
            inquote = !inquote;
          } else if (inquote && at(p + 1) == u'"') {
            p++;
          } else {
            copy = false;
            inquote = !inquote;
          }
        }
        slashes /= 2;
      }
      arg.append(slashes, u'\\');
      if (p >= n || (!inquote && blank(line[p]))) {
        break;
      }
      if (copy) {
        arg += line[p];
      }
      p++;
    }
    args.push_back(arg);
  }
  return args;
}

std::u16string widen(const std::string& bytes) {
  std::u16string out;
  for (unsigned char c : bytes) {
    out += (char16_t)c;
  }
  return out;
}
