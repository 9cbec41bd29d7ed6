// Fuzz target: the whole argument expansion, over variables and response
// files in a private folder, with the size limit and the nesting bounds.
//
// The input is cut at bytes 0xFE into parts: the first holds the argument
// list (one argument a line), the next four the files f0 to f3, the next two
// the values of the variables FZ_V0 and FZ_V1. Next to them lie "fits", a
// response file of the largest size read, and "over", one byte larger.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz/support.h"
#include "loader/loader.h"
#include "rt/rt.h"

namespace {

std::string dir;

std::vector<std::string> parts(const uint8_t* data, size_t size) {
  std::vector<std::string> out(1);
  for (size_t i = 0; i < size; i++) {
    if (data[i] == 0xFE) {
      out.emplace_back();
    } else {
      out.back() += (char)data[i];
    }
  }
  out.resize(7);
  return out;
}

// The text up to its first zero byte, as a C string would hold it.
std::string c_string(const std::string& s) {
  return s.substr(0, s.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  dir = fz_private_dir("args_fuzz");
  fz_check(chdir(dir.c_str()) == 0, "cannot enter the private folder");
  std::string fits(LDR_MAX_RESPONSE_FILE, 'w');
  for (size_t i = 7; i < fits.size(); i += 8) {
    fits[i] = ' ';
  }
  fz_write(dir + "fits", fits);
  fz_write(dir + "over", fits + "x");
  fz_env_record();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> p = parts(data, size);
  for (int i = 0; i < 4; i++) {
    fz_write(dir + "f" + std::to_string(i), p[1 + i]);
  }
  std::vector<std::string> args = {"kestrel"};
  std::string list = c_string(p[0]);
  for (size_t start = 0; start <= list.size();) {
    size_t nl = list.find('\n', start);
    if (nl == std::string::npos) {
      nl = list.size();
    }
    args.push_back(list.substr(start, nl - start));
    start = nl + 1;
  }

  fz_keep_begin();
  for (int i = 0; i < 2; i++) {
    std::string value = c_string(p[5 + i]);
    rt_putenv(strdup(("FZ_V" + std::to_string(i) + "=" + value).c_str()));
  }
  std::vector<char*> argv;
  for (std::string& a : args) {
    argv.push_back(&a[0]);
  }
  argv.push_back(nullptr);
  int argc = (int)args.size();
  char** out = argv.data();
  int rc = ldr_expand(&argc, &out);
  if (rc == 0) {
    fz_check(out[argc] == nullptr, "list not ended by a null entry");
    for (int i = 0; i < argc; i++) {
      fz_check(out[i] != nullptr, "null inside the list");
      fz_check(out[i][0] != '@', "an @-argument left after success");
    }
  } else {
    fz_check(rc == 1, "status neither 0 nor 1");
    fz_check(out == argv.data() && argc == (int)args.size(),
             "failure changed the caller's list");
  }
  fz_env_restore();
  fz_keep_end();
  return 0;
}
