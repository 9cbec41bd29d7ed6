/* A program of the product built against an installed tavcore alone: it
 * calls every export and checks what comes back. It lies in jdk/bin of a
 * product folder whose bin holds the settings file written by run.sh:
 *
 *   [Environment]
 *   Consumer_Check = seen %Consumer_In%
 *   ClassPath = %@P%
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tavcore.h>

#ifdef _WIN32
#define LIST_SEP ';'
#else
#define LIST_SEP ':'
#endif

static int failures = 0;

static void check(int ok, const char* what) {
  printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) {
    failures++;
  }
}

static int ends_with(const char* text, const char* tail) {
  size_t n = strlen(text);
  size_t m = strlen(tail);
  return n >= m && strcmp(text + n - m, tail) == 0;
}

int main(void) {
  char refused[] = "CONSUMER_NO_EQUALS";
  char* assignment = TAV_strdup("Consumer_In=from-caller");
  const char* seen;
  const char* classpath;
  char* extended;
  size_t len;

  check(assignment && strcmp(assignment, "Consumer_In=from-caller") == 0,
        "TAV_strdup copies");
  check(TAV_strdup(NULL) == NULL, "TAV_strdup(NULL) is null");
  /* The assignment belongs to the environment from here on. */
  check(assignment && TAV_putenv(assignment) == 0, "TAV_putenv sets");
  check(TAV_putenv(refused) == -1, "TAV_putenv refuses a text without =");

  check(TAVInitializeEnvironment(0) == 0, "settings file read");
  seen = getenv("CONSUMER_CHECK");
  check(seen && strcmp(seen, "seen from-caller") == 0,
        "settings reach the caller's getenv, with %NAME% expanded");

  classpath = TAVGetClasspath();
  check(classpath && ends_with(classpath, "bin") &&
            strstr(classpath, "..") != NULL,
        "TAVGetClasspath gives the %@P% folder set by the file");

  extended = TAVGetExtendedClasspath();
  len = classpath ? strlen(classpath) : 0;
  check(extended && classpath && strncmp(extended, classpath, len) == 0 &&
            extended[len] == LIST_SEP && ends_with(extended, "classes.zip"),
        "TAVGetExtendedClasspath extends CLASSPATH");
  free(extended);

  check(TAVInitializeEnvironment(0) == 0, "a second call has nothing to do");
  check(TAVInitializeEnvironment(1) == 0, "a forced call reads again");

  printf("consumer: %d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
