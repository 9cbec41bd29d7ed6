// The library's five exports: the settings file applied on first use, the
// class-path questions, and pass-throughs to the runtime.
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "tavcore/settings.h"
#include "tavcore/tavcore.h"

// Set after the first attempt to read the settings file; never cleared.
static int initialized = 0;

int TAVInitializeEnvironment(int force) {
  char dir[RT_PATH_MAX];
  int rc = 1;
  if (initialized && !force) {
    return 0;
  }
  // A settings folder that cannot be named within the path limit is treated
  // as a settings file that cannot be opened.
  if (tav_program_base_dir(dir, sizeof dir) == 0) {
    rc = tav_load_settings(dir, TAV_SETTINGS_FILE);
  }
  initialized = 1;
  return rc;
}

const char* TAVGetClasspath(void) {
  TAVInitializeEnvironment(0);
  return rt_getenv("CLASSPATH");
}

char* TAVGetExtendedClasspath(void) {
  char base[RT_PATH_MAX];
  TAVInitializeEnvironment(0);
  if (tav_program_base_dir(base, sizeof base)) {
    base[0] = '\0';
  }
  return tav_extend_classpath(rt_getenv("CLASSPATH"), base);
}

char* TAV_strdup(const char* text) {
  return text ? strdup(text) : NULL;
}

int TAV_putenv(char* assignment) {
  return assignment ? rt_putenv(assignment) : -1;
}
