// Reading the record that the stand-ins write (the VM library of each call
// of java_main, the interpreter of its arguments) and the trace's values.
#ifndef TESTS_SUPPORT_RECORD_H_
#define TESTS_SUPPORT_RECORD_H_

#include <map>
#include <string>
#include <vector>

// One call: the count, the entries, the variables that JAVAI_G_ENV named
// (absent when unset), and what became of the interpreter's JAVA_STUB_HANDLE
// ("inherited", "not inherited"; empty when not asked).
struct Call {
  int count = -1;
  std::vector<std::string> argv;
  std::map<std::string, std::string> env;
  std::string handle;
};

// The lines of text, with LF or CR LF ends; a last line without an end too.
std::vector<std::string> lines_of(const std::string& text);

// Reads a value as rt_put_escaped writes one from its opening quote at
// s[*pos], and moves *pos past it. Returns false when there is none.
bool read_value(const std::string& s, size_t* pos, std::string* value);

// Parses a record; every call that it holds, in order. A malformed line
// gives a call with count -2, so that a comparison fails.
std::vector<Call> parse_record(const std::string& text);

// The entries of calls when they are one whole call (its count theirs),
// else a list that no call gives, so that a comparison fails.
std::vector<std::string> one_call(const std::vector<Call>& calls);

// Parses the record file at path.
std::vector<Call> read_record(const std::string& path);

#endif  // TESTS_SUPPORT_RECORD_H_
