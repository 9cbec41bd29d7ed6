// Reading what the stand-in VM library recorded of its calls.
#ifndef TESTS_SUPPORT_RECORD_H_
#define TESTS_SUPPORT_RECORD_H_

#include <map>
#include <string>
#include <vector>

// One call of java_main: the launch count, the entries and the environment
// variables that JAVAI_G_ENV named (absent from env when unset).
struct VmCall {
  int count = -1;
  std::vector<std::string> argv;
  std::map<std::string, std::string> env;
};

// Parses a record; every call that it holds, in order. A malformed line
// gives a call with count -2, so that a comparison fails.
std::vector<VmCall> parse_record(const std::string& text);

// Parses the record file at path.
std::vector<VmCall> read_record(const std::string& path);

#endif  // TESTS_SUPPORT_RECORD_H_
