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
  char dir[TAV_BASE_DIR_MAX];
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

// Tells whether the code page holds CLASSPATH exactly, as the runtime's
// narrow table is to give it; traces the refusal of export when it does not.
// Returns RT_OK, RT_UNSET, or RT_NOT_IN_CODE_PAGE (also when memory
// runs out).
static int classpath_in_code_page(const char* export_name) {
  char* value;
  int found = rt_getenv_exact("CLASSPATH", "", &value);
  free(value);
  if (found == RT_OK || found == RT_UNSET) {
    return found;
  }
  rt_trace(TAV_TRACE_NAME, "%s returns null reason=%s", export_name,
           rt_outcome_word(found));
  return RT_NOT_IN_CODE_PAGE;
}

const char* TAVGetClasspath(void) {
  const char* value;
  TAVInitializeEnvironment(0);
  // The narrow table would hold a stand-in for a character that the code
  // page lacks; such a value is not returned at all.
  if (classpath_in_code_page("TAVGetClasspath") == RT_NOT_IN_CODE_PAGE) {
    return NULL;
  }
  value = rt_getenv("CLASSPATH");
  rt_trace(TAV_TRACE_NAME, "TAVGetClasspath returns %q", value);
  return value;
}

char* TAVGetExtendedClasspath(void) {
  char base[TAV_BASE_DIR_MAX];
  char* base_cp = NULL;
  char* value;
  int found;
  int found_base;
  TAVInitializeEnvironment(0);
  found = classpath_in_code_page("TAVGetExtendedClasspath");
  if (found == RT_NOT_IN_CODE_PAGE) {
    return NULL;
  }
  if (tav_program_base_dir(base, sizeof base)) {
    base[0] = '\0';
  }
  // The base goes to the caller as code-page text, or by its short name; a
  // class path that names somewhere else is never returned.
  found_base = tav_base_in_code_page(base, &base_cp);
  if (found_base != RT_OK) {
    rt_trace(TAV_TRACE_NAME,
             base_cp ? "TAVGetExtendedClasspath returns null reason=%s base=%q"
                     : "TAVGetExtendedClasspath returns null reason=%s",
             rt_outcome_word(found_base), base_cp);
    free(base_cp);
    return NULL;
  }
  value = tav_extend_classpath(found == RT_OK ? rt_getenv("CLASSPATH")
                                                   : NULL,
                               base_cp);
  free(base_cp);
  if (value) {
    rt_trace(TAV_TRACE_NAME, "TAVGetExtendedClasspath returns %q", value);
  } else {
    rt_trace(TAV_TRACE_NAME, "TAVGetExtendedClasspath returns null reason=%s",
             rt_outcome_word(RT_NO_MEMORY));
  }
  return value;
}

char* TAV_strdup(const char* text) {
  return text ? strdup(text) : NULL;
}

int TAV_putenv(char* assignment) {
  return assignment ? rt_putenv(assignment) : -1;
}
