// Fuzz target: %NAME% expansion alone, against a plain model of its rules,
// with variables that hold "%" and settings directories that hold "%".
#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz/support.h"
#include "rt/rt.h"
#include "tavcore/expand.h"
#include "tavcore/reading.h"

namespace {

const char* const kDirs[] = {
    "/p/bin/", "", "/p%q/", "/%@P%/", "/x%@P%y/", "/%@p%", "/%/", "/a%b%c/",
};

const size_t kLimits[] = {SIZE_MAX, 0, 1, 7, 64, 1000};

// The settings directory of the input being run, and its %@P% value.
TavReader reader;

const char* const kVars[] = {
    "FZ_X=50%",   "FZ_R=a%FZ_X%b", "FZ_P=%@P%", "FZ_L=%",
    "FZ_Q=x%y%z", "FZ_N=%fz_n%",   "FZ_S=%FZ_",
};

std::string upper(const std::string& s) {
  std::string u = s;
  for (char& c : u) {
    if (islower((unsigned char)c)) {
      c = (char)(c & ~0x20);
    }
  }
  return u;
}

bool same_text(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); i++) {
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) {
      return false;
    }
  }
  return true;
}

std::string model_expand(const std::string& text, bool resolve, size_t limit,
                         bool* too_large);

std::string model_lookup(const std::string& name, bool* from_dir) {
  std::string u = upper(name);
  *from_dir = u == "@P";
  if (*from_dir) {
    std::string dir = reader.dir;
    if (!dir.empty() && dir.back() == RT_DIR_SEP[0]) {
      dir.pop_back();
    }
    return dir;
  }
  const char* value = u.find('\0') == std::string::npos ? rt_getenv(u.c_str())
                                                        : nullptr;
  bool unused;
  return model_expand(value ? value : "", false, SIZE_MAX, &unused);
}

// The rules as written: replace in place, rescan from the inserted text.
std::string model_expand(const std::string& text, bool resolve, size_t limit,
                         bool* too_large) {
  std::string buf = text;
  size_t pos = 0;
  size_t inserted = 0;
  int dir_inserts = 0;
  *too_large = false;
  while (pos < buf.size()) {
    size_t close;
    if (buf[pos] != '%' ||
        (close = buf.find('%', pos + 1)) == std::string::npos) {
      pos++;
      continue;
    }
    std::string ref = buf.substr(pos, close - pos + 1);
    std::string name = ref.substr(1, ref.size() - 2);
    bool from_dir = false;
    std::string repl = resolve ? model_lookup(name, &from_dir) : "";
    bool feeds = from_dir && repl.find('%') != std::string::npos;
    if ((feeds && ++dir_inserts > TAV_MAX_DIR_INSERTS) ||
        same_text(repl, ref)) {
      pos = close + 1;
      continue;
    }
    inserted += repl.size();
    if (inserted > limit) {
      *too_large = true;
      return "";
    }
    buf.replace(pos, ref.size(), repl);
  }
  *too_large = buf.size() > limit;
  return *too_large ? "" : buf;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* v : kVars) {
    rt_putenv(strdup(v));
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) {
    return 0;
  }
  const char* dir = kDirs[data[0] % (sizeof kDirs / sizeof kDirs[0])];
  size_t limit = kLimits[data[1] % (sizeof kLimits / sizeof kLimits[0])];
  // The text is a C string: it ends at the first zero byte.
  std::string text((const char*)data + 2, size - 2);
  text = text.substr(0, text.find('\0'));
  fz_check(tav_reader_begin(&reader, dir) == 0, "out of memory");

  for (int resolve = 0; resolve <= 1; resolve++) {
    char* out = nullptr;
    int rc = tav_expand(text.c_str(), resolve, reader.at_p, limit, &out);
    bool too_large;
    std::string want = model_expand(text, resolve, limit, &too_large);
    fz_check(rc != RT_NO_MEMORY, "out of memory");
    fz_check((rc == RT_EXPANDS_PAST_LIMIT) == too_large,
             "limit decided unlike the model");
    fz_check(too_large || (out && want == out), "result unlike the model");
    fz_check(!too_large || !out, "result given with too large");
    free(out);
  }
  tav_reader_end(&reader);
  return 0;
}
