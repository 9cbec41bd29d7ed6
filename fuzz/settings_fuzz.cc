// Fuzz target: the settings reader over a generated settings file, in a
// settings folder whose name holds "%". Every variable it sets is checked and
// the environment is put back after each input.
#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "fuzz/support.h"
#include "rt/rt.h"
#include "tavcore/reader.h"
#include "tavcore/tavcore.h"

extern char** environ;

namespace {

std::string dir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  dir = fz_private_dir("settings_fuzz") + "p%@P%q/";
  fz_check(mkdir(dir.c_str(), 0700) == 0, "cannot make the settings folder");
  static char x[] = "FZ_X=50%";
  static char r[] = "FZ_R=a%FZ_X%b";
  rt_putenv(x);
  rt_putenv(r);
  fz_env_record();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An even first byte puts the text into an open Environment section.
  std::string file = size > 0 && data[0] % 2 == 0 ? "[Environment]\n" : "";
  file.append((const char*)data, size);
  fz_write(dir + "vorel.ini", file);

  fz_keep_begin();
  int rc = tav_load_settings(dir.c_str(), "vorel.ini");
  fz_check(rc == 0, "an existing file not read to its end");
  // What the file set: upper-case names, and no more than one line may make.
  for (char** e = environ; e && *e; e++) {
    const char* eq = strchr(*e, '=');
    if (fz_env_recorded(*e)) {
      continue;
    }
    fz_check(eq && eq > *e, "entry without a name");
    for (const char* c = *e; c < eq; c++) {
      fz_check(!islower((unsigned char)*c), "name not upper-cased");
    }
    fz_check(strlen(*e) <= TAV_MAX_EXPANDED_LINE, "entry past the limit");
  }
  fz_env_restore();
  fz_keep_end();
  return 0;
}
