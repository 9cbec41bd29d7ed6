// Reading what a program wrote to its trace: lines parsed into fields, and
// the steps of a table row found among them in order.
#include "tests/support/trace.h"

#include <algorithm>

#include "tests/support/record.h"

static std::string without_comma(std::string word) {
  if (!word.empty() && word.back() == ',') {
    word.pop_back();
  }
  return word;
}

static bool is_number(const std::string& word) {
  return !word.empty() &&
         word.find_first_not_of("0123456789") == std::string::npos;
}

// Reads a value or a bare word from line[*pos] up to the next blank.
static bool read_token(const std::string& line, size_t* pos, std::string* token,
                       bool* quoted) {
  *quoted = *pos < line.size() && line[*pos] == '"';
  if (*quoted) {
    return read_value(line, pos, token) &&
           (*pos == line.size() || line[*pos] == ' ');
  }
  size_t end = std::min(line.find(' ', *pos), line.size());
  *token = without_comma(line.substr(*pos, end - *pos));
  *pos = end;
  return token->find('"') == std::string::npos;
}

static bool parse_line(const std::string& line, TraceLine* out) {
  size_t pos = line.find(": ");
  if (pos == std::string::npos || pos == 0) {
    return false;
  }
  out->source = line.substr(0, pos);
  std::string taker;  // the bare word just before, which may take a value
  int values = 0;
  for (pos += 2; pos < line.size(); pos++) {
    size_t eq = line.find_first_of("= \"", pos);
    std::string token;
    bool quoted;
    if (eq != std::string::npos && eq > pos && line[eq] == '=') {
      std::string name = line.substr(pos, eq - pos);
      pos = eq + 1;
      if (!read_token(line, &pos, &token, &quoted)) {
        return false;
      }
      out->fields[name] = token;
      taker.clear();
    } else if (!read_token(line, &pos, &token, &quoted) ||
               (token.empty() && !quoted)) {
      return false;
    } else if (quoted || (is_number(token) && !taker.empty())) {
      out->fields[taker.empty() ? std::to_string(++values) : taker] = token;
      taker.clear();
    } else {
      out->words.push_back(token);
      taker = token;
    }
  }
  return true;
}

std::vector<TraceLine> trace_lines(const std::string& text,
                                   const std::string& source,
                                   std::vector<std::string>* stray) {
  std::vector<TraceLine> lines;
  for (const std::string& line : lines_of(text)) {
    TraceLine parsed;
    if (parse_line(line, &parsed) && parsed.source == source) {
      lines.push_back(parsed);
    } else if (stray) {
      stray->push_back(line);
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

static bool holds(const TraceLine& line, const std::string& entry) {
  size_t eq = entry.find('=');
  if (eq == std::string::npos) {
    return std::count(line.words.begin(), line.words.end(), entry) > 0;
  }
  auto field = line.fields.find(entry.substr(0, eq));
  return field != line.fields.end() && field->second == entry.substr(eq + 1);
}

static bool takes(const TraceLine& line, const Step& step) {
  for (const std::string& entry : step) {
    if (!holds(line, entry)) {
      return false;
    }
  }
  return !step.empty();
}

::testing::AssertionResult has_steps(const std::string& text,
                                     const std::string& source,
                                     const std::vector<Step>& steps,
                                     bool whole) {
  std::vector<std::string> stray;
  std::vector<TraceLine> lines = trace_lines(text, source, &stray);
  if (whole && !stray.empty()) {
    return ::testing::AssertionFailure()
           << "not a trace line from " << source << ": " << stray[0]
           << "\ntrace:\n" << text;
  }
  size_t at = 0;
  for (const Step& step : steps) {
    while (at < lines.size() && !takes(lines[at], step)) {
      at++;
    }
    if (at++ == lines.size()) {
      ::testing::AssertionResult failure = ::testing::AssertionFailure();
      failure << "no line, or none in order, with";
      for (const std::string& entry : step) {
        failure << " " << ::testing::PrintToString(entry);
      }
      return failure << "\ntrace:\n" << text;
    }
  }
  return ::testing::AssertionSuccess();
}

Observed expect_trace_changes_nothing(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace, bool quiet) {
  Observed plain = run(env);
  std::vector<EnvChange> traced_env = env;
  traced_env.push_back(Set("NORVANE_TRACE", trace));
  Observed got = run(traced_env);
  EXPECT_EQ(plain.result.status, got.result.status);
  EXPECT_EQ(plain.result.out, got.result.out);
  EXPECT_EQ(plain.handed, got.handed);
  if (trace != "1") {
    EXPECT_EQ(plain.result.err, got.result.err);
  }
  if (quiet) {
    EXPECT_EQ("", plain.result.err);
  }
  return got;
}

std::string expect_traced_steps(
    const std::function<Observed(const std::vector<EnvChange>&)>& run,
    const std::vector<EnvChange>& env, const std::string& trace,
    const std::string& source, const std::vector<Step>& steps, bool quiet) {
  const bool to_file = trace != "1";
  if (to_file) {
    remove_file(trace);
  }
  Observed got = expect_trace_changes_nothing(run, env, trace, quiet);
  std::string text = to_file ? read_file(trace) : got.result.err;
  EXPECT_TRUE(has_steps(text, source, steps, to_file || quiet));
  return text;
}
