// Reading the record that the stand-ins write, the VM library of each call
// of java_main and the interpreter of its arguments, and the escaped values
// that it shares with the trace.
#ifndef TESTS_SUPPORT_RECORD_H_
#define TESTS_SUPPORT_RECORD_H_

#include <map>
#include <string>
#include <vector>

// One call: the count, the entries, the environment variables that
// JAVAI_G_ENV named (absent from env when unset), and the interpreter's
// word for the handle that JAVA_STUB_HANDLE named ("inherited" or "not
// inherited"; empty when not asked).
struct Call {
  int count = -1;
  std::vector<std::string> argv;
  std::map<std::string, std::string> env;
  std::string handle;
};

// The lines of text, with LF or CR LF ends; a last line without an end too.
std::vector<std::string> lines_of(const std::string& text);

// Reads a value as rt_put_escaped writes one, from its opening quote at
// s[*pos]; on success *pos is just past the closing quote. Returns false
// when s holds no such value there.
bool read_value(const std::string& s, size_t* pos, std::string* value);

// Parses a record; every call that it holds, in order. A malformed line
// gives a call with count -2, so that a comparison fails.
std::vector<Call> parse_record(const std::string& text);

// Parses the record file at path.
std::vector<Call> read_record(const std::string& path);

#endif  // TESTS_SUPPORT_RECORD_H_
