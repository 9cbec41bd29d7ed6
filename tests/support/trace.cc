// Reading what a program wrote to its trace: lines parsed into fields, and
// the steps of a table row found among them in order.
#include "tests/support/trace.h"

#include <algorithm>

#include "tests/support/record.h"

// Reads a value, or a bare word without a trailing comma, from line[*pos] to
// the next blank or the end.
static bool read_token(const std::string& line, size_t* pos, std::string* token,
                       bool* quoted) {
  *quoted = line[*pos] == '"';
  if (*quoted) {
    return read_value(line, pos, token) &&
           (*pos == line.size() || line[*pos] == ' ');
  }
  size_t end = std::min(line.find(' ', *pos), line.size());
  if (end == *pos) {
    return false;
  }
  *token = line.substr(*pos, end - *pos - (line[end - 1] == ','));
  *pos = end;
  return !token->empty() && token->find('"') == std::string::npos;
}

static bool parse_line(const std::string& line, TraceLine* out) {
  size_t pos = line.find(": ");
  if (pos == std::string::npos || pos == 0) {
    return false;
  }
  out->source = line.substr(0, pos);
  std::string taker, token;  // taker: the bare word just before
  bool quoted;
  int values = 0;
  for (pos += 2; pos < line.size(); pos++) {
    size_t eq = line.find_first_of("= \"", pos);
    std::string name;
    if (eq != std::string::npos && eq > pos && line[eq] == '=') {
      name = line.substr(pos, eq - pos);
      pos = eq + 1;
    }
    if (!read_token(line, &pos, &token, &quoted)) {
      return false;
    }
    bool number = token.find_first_not_of("0123456789") == std::string::npos;
    if (name.empty() && (quoted || (number && !taker.empty()))) {
      name = taker.empty() ? std::to_string(++values) : taker;
    }
    if (name.empty()) {
      out->words.push_back(token);
      taker = token;
    } else {
      out->fields[name] = token;
      taker.clear();
    }
  }
  return true;
}

// The lines of text that are trace lines from source, parsed.
static std::vector<TraceLine> trace_lines(const std::string& text,
                                          const std::string& source) {
  std::vector<TraceLine> lines;
  for (const std::string& line : lines_of(text)) {
    TraceLine parsed;
    if (parse_line(line, &parsed) && parsed.source == source) {
      lines.push_back(parsed);
    }
  }
  return lines;
}

Step vector_step(const std::vector<std::string>& entries) {
  Step step = {"count=" + std::to_string(entries.size())};
  for (size_t i = 0; i < entries.size(); i++) {
    step.push_back(std::to_string(i + 1) + "=" + entries[i]);
  }
  return step;
}

static bool takes(const TraceLine& line, const Step& step) {
  for (const std::string& entry : step) {
    size_t eq = entry.find('=');
    auto field = line.fields.find(entry.substr(0, eq));
    if (eq == std::string::npos
            ? std::count(line.words.begin(), line.words.end(), entry) == 0
            : field == line.fields.end() ||
                  field->second != entry.substr(eq + 1)) {
      return false;
    }
  }
  return !step.empty();
}

::testing::AssertionResult has_steps(const std::string& text,
                                     const std::string& source,
                                     const std::vector<Step>& steps,
                                     bool whole) {
  std::vector<TraceLine> lines = trace_lines(text, source);
  if (whole && lines.size() != lines_of(text).size()) {
    return ::testing::AssertionFailure()
           << "a line is no trace line from " << source << ":\n" << text;
  }
  size_t at = 0;
  for (const Step& step : steps) {
    while (at < lines.size() && !takes(lines[at], step)) {
      at++;
    }
    if (at++ == lines.size()) {
      return ::testing::AssertionFailure()
             << "no line, or none in order, with "
             << ::testing::PrintToString(step) << "\ntrace:\n" << text;
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<TraceLine> expect_traced_steps(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace,
    const std::string& source, const std::vector<Step>& steps, bool quiet) {
  const bool to_file = trace != "1";
  if (to_file && !steps.empty()) {
    remove_file(trace);
  }
  Observed plain = run(env);
  std::vector<EnvChange> traced_env = env;
  traced_env.push_back(Set("NORVANE_TRACE", trace));
  Observed got = run(traced_env);
  EXPECT_EQ(plain.result.status, got.result.status);
  EXPECT_EQ(plain.result.out, got.result.out);
  EXPECT_EQ(plain.handed, got.handed);
  if (to_file) {
    EXPECT_EQ(plain.result.err, got.result.err);
  }
  if (quiet) {
    EXPECT_EQ("", plain.result.err);
  }
  if (steps.empty()) {
    return {};
  }
  std::string text = to_file ? read_file(trace) : got.result.err;
  EXPECT_TRUE(has_steps(text, source, steps, to_file || quiet));
  return trace_lines(text, source);
}
