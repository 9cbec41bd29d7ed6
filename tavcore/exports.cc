// The library's five exports: the settings file applied on first use, the
// class-path questions, and pass-throughs to the runtime.
#include <stdlib.h>
#include <string.h>

#include "rt/rt.h"
#include "rt/trace.h"
#include "tavcore/location.h"
#include "tavcore/reader.h"
#include "tavcore/tavcore.h"
#include "tavcore/trace_name.h"

// Set after the first attempt to read the settings file; never cleared.
static int initialized = 0;

int TAVInitializeEnvironment(int force) {
  char dir[RT_PATH_MAX];
  int rc = 1;
  if (initialized && !force) {
    rt_trace(TAV_TRACE_NAME, "initialize force=%d skipped, done before", force);
    return 0;
  }
  rt_trace(TAV_TRACE_NAME, "initialize force=%d", force);
  // A settings folder that cannot be named within the path limit is treated
  // as a settings file that cannot be opened.
  if (tav_program_base_dir(dir, sizeof dir) == 0) {
    rc = tav_load_settings(dir, TAV_SETTINGS_FILE);
  }
  initialized = 1;
  return rc;
}

const char* TAVGetClasspath(void) {
  const char* value;
  TAVInitializeEnvironment(0);
  value = rt_getenv("CLASSPATH");
  rt_trace(TAV_TRACE_NAME, "TAVGetClasspath returns %q", value);
  return value;
}

char* TAVGetExtendedClasspath(void) {
  char base[RT_PATH_MAX];
  char* value;
  TAVInitializeEnvironment(0);
  if (tav_program_base_dir(base, sizeof base)) {
    base[0] = '\0';
  }
  value = tav_extend_classpath(rt_getenv("CLASSPATH"), base);
  if (value) {
    rt_trace(TAV_TRACE_NAME, "TAVGetExtendedClasspath returns %q", value);
  } else {
    rt_trace(TAV_TRACE_NAME,
             "TAVGetExtendedClasspath returns null reason=out-of-memory");
  }
  return value;
}

char* TAV_strdup(const char* text) {
  return text ? strdup(text) : NULL;
}

int TAV_putenv(char* assignment) {
  return assignment ? rt_putenv(assignment) : -1;
}
