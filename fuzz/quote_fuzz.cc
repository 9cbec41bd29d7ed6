// Fuzz target: the Windows quoting of the gateway, as a round trip through the
// runtime's argv rules. Values are quoted, joined into a command line after a
// program name, parsed back by the older and the newer rule for "" inside
// quotes, and must come back unchanged. In code-page mode the values are
// bytes of code page 932, decoded to UTF-16 as the runtime does before it
// parses: a trail byte 0x5C there is part of a character, not a backslash.
//
// Input: byte 0 picks the mode (bit 0) and a prefix before each value
// (bit 1); the rest holds the values, cut at bytes 0xFE (code page) or at
// units 0xFFFF (UTF-16, two bytes a unit, little-endian).
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz/support.h"
#include "rt/cmdline.h"
#include "tests/support/argv_rules.h"

namespace {

bool is_lead(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool is_trail(uint8_t b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// A small model of code page 932: single bytes below 0x80 stand for
// themselves, 0xA1 to 0xDF are half-width katakana, a lead byte with a trail
// byte is one character (mapped to a unit of its own above 0x8000), any
// other byte is one the code page cannot decode.
std::u16string decode(const std::string& bytes) {
  std::u16string out;
  for (size_t i = 0; i < bytes.size(); i++) {
    uint8_t b = (uint8_t)bytes[i];
    if (b < 0x80) {
      out += (char16_t)b;
    } else if (b >= 0xA1 && b <= 0xDF) {
      out += (char16_t)(0xFF61 + (b - 0xA1));
    } else if (is_lead(b) && i + 1 < bytes.size() &&
               is_trail((uint8_t)bytes[i + 1])) {
      out += (char16_t)(0x8000 + ((b - 0x80) << 8) + (uint8_t)bytes[i + 1]);
      i++;
    } else {
      out += u'\uFFFD';
    }
  }
  return out;
}

// The way back; a unit the code page has no byte for becomes "?".
std::string encode(const std::u16string& units) {
  std::string out;
  for (char16_t u : units) {
    if (u < 0x80) {
      out += (char)u;
    } else if (u >= 0xFF61 && u <= 0xFF9F) {
      out += (char)(0xA1 + (u - 0xFF61));
    } else if (u >= 0x8100 && u < 0xFD00 &&
               is_lead((uint8_t)(((u - 0x8000) >> 8) + 0x80)) &&
               is_trail((uint8_t)u)) {
      out += (char)(((u - 0x8000) >> 8) + 0x80);
      out += (char)(u & 0xFF);
    } else {
      out += '?';
    }
  }
  return out;
}

std::u16string quote(const std::u16string& value) {
  const uint16_t* units = (const uint16_t*)value.data();
  std::vector<uint16_t> out(rt_quoted_length(units, value.size()));
  size_t n = rt_quote_value(units, value.size(), out.data());
  fz_check(n == out.size(), "quoted length unlike the forecast");
  return std::u16string(out.begin(), out.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  bool code_page = data[0] & 1;
  std::u16string prefix = data[0] & 2 ? u"-DQUERY_STRING=" : u"";
  std::vector<std::u16string> values(1);
  if (code_page) {
    std::vector<std::string> parts(1);
    for (size_t i = 1; i < size; i++) {
      if (data[i] == 0xFE) {
        parts.emplace_back();
      } else if (data[i] != 0) {
        parts.back() += (char)data[i];
      }
    }
    values.clear();
    for (const std::string& p : parts) {
      // What the started program sees is the value once encoded.
      values.push_back(decode(encode(decode(p))));
    }
  } else {
    for (size_t i = 1; i + 1 < size; i += 2) {
      char16_t u = (char16_t)(data[i] | data[i + 1] << 8);
      if (u == 0xFFFF) {
        values.emplace_back();
      } else if (u != 0) {
        values.back() += u;
      }
    }
  }

  std::u16string line = u"gatelet_g";
  for (const std::u16string& v : values) {
    line += u" " + prefix + quote(v);
  }
  if (code_page) {
    // The line crosses the code page on its way to the program.
    fz_check(decode(encode(line)) == line, "line changed by the code page");
  }
  for (ArgvRule rule : {kArgvOldRule, kArgvNewRule}) {
    std::vector<std::u16string> args = parse_command_line(line, rule);
    fz_check(args.size() == values.size() + 1, "argument count changed");
    for (size_t i = 0; i < values.size(); i++) {
      fz_check(args[i + 1] == prefix + values[i], "argument changed");
    }
  }
  return 0;
}
