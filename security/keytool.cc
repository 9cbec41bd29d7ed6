// The key tool launcher's main line: class path, Java home and the launch
// vector that runs the key management class in the VM.
#include "security/keytool.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/beside.h"
#include "rt/path.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "vmstub/javai_g.h"

static const char kProgramName[] = "java_g";
static const char kInitialHeap[] = "-ms8m";
static const char kMainClass[] = "sun.security.provider.Main";
static const char kTraceName[] = "quillan_g";

// Appends n bytes of text at *at and moves *at past them.
static void put(char** at, const char* text, size_t n) {
  memcpy(*at, text, n);
  *at += n;
}

void sec_out_of_memory(void) {
  fprintf(stderr, "*** Not enough memory to start quillan ***\n");
  exit(1);
}

void* sec_alloc(size_t size) {
  void* block = malloc(size);
  if (!block) {
    sec_out_of_memory();
  }
  return block;
}

int sec_program_dir(char** dir) {
  size_t keep;
  int why = rt_program_folder(dir, &keep);
  if (why == RT_NO_MEMORY) {
    sec_out_of_memory();
  }
  if (why != RT_OK) {
    if (*dir) {
      rt_trace(kTraceName, "program directory unknown reason=%s executable=%q",
               rt_outcome_word(why), *dir);
    } else {
      rt_trace(kTraceName, "program directory unknown reason=%s",
               rt_outcome_word(why));
    }
    free(*dir);
    *dir = NULL;
    return 1;
  }
  (*dir)[keep - 1] = '\0';
  rt_trace(kTraceName, "program directory=%q", *dir);
  return 0;
}

char* sec_class_path(const char* old, const char* dir) {
  size_t dir_len = strlen(dir);
  size_t old_len = old ? strlen(old) : 0;
  char* text = (char*)sec_alloc(old_len + rt_beside_length(dir_len, 3) + 12);
  char* at = text;
  put(&at, "CLASSPATH=", 10);
  // A set but empty CLASSPATH still takes the first form, so the new value
  // then begins with the list separator.
  if (old) {
    put(&at, old, old_len);
    put(&at, RT_LIST_SEP, 1);
  }
  rt_put_beside(at, dir, dir_len, 3);
  return text;
}

// Traces why the value of JAVA_HOME is refused: empty, naming nothing, or
// naming something that is not a directory, as the check why found it.
static void trace_refused_home(const char* value, int why) {
  rt_trace(kTraceName, "JAVA_HOME=%q refused reason=%s", value,
           rt_outcome_word(value[0] == '\0' ? RT_EMPTY : why));
}

// The form in which path goes to the VM, after prefix: code-page text, or
// the short name where the code page lacks a character of the path. Returns
// RT_OK or RT_NOT_IN_CODE_PAGE (*cp then the form for messages). Never
// freed.
static int vm_path(const char* path, const char* prefix, char** cp) {
  int rc = rt_code_page_path(path, prefix, cp);
  if (rc == RT_NO_MEMORY) {
    sec_out_of_memory();
  }
  return rc;
}

int sec_java_home(const char* dir, const char** home) {
  char* value;
  char* shown;
  char* text;
  int why;
  // The value names a folder by its exact text; it goes to the VM as
  // code-page text, or as its short name, and is refused when it has
  // neither. On refusal *home is the value as the message shows it.
  switch (rt_getenv_text("JAVA_HOME", &value)) {
    case RT_NO_MEMORY:
      sec_out_of_memory();
      break;
    case RT_NOT_TEXT:
      rt_getenv_exact("JAVA_HOME", "", &shown);
      if (!shown) {
        sec_out_of_memory();
      }
      rt_trace(kTraceName, "JAVA_HOME=%q refused reason=%s", shown,
               rt_outcome_word(RT_NOT_IN_CODE_PAGE));
      *home = shown;
      return SEC_HOME_INVALID;
    case RT_OK: {
      // rt_check_dir refuses the empty string and takes a trailing
      // separator; the value is then used exactly as it is written.
      int form = vm_path(value, "", &shown);
      *home = shown;
      why = form == RT_OK ? rt_check_dir(value) : 0;
      free(value);
      if (form != RT_OK) {
        rt_trace(kTraceName, "JAVA_HOME=%q refused reason=%s", shown,
                 rt_outcome_word(form));
        return SEC_HOME_INVALID;
      }
      if (why) {
        trace_refused_home(shown, why);
        return SEC_HOME_INVALID;
      }
      rt_trace(kTraceName, "JAVA_HOME=%q accepted reason=%s", shown,
               rt_outcome_word(RT_A_DIRECTORY));
      return 0;
    }
  }
  why = vm_path(dir, "", &shown);
  text = (char*)sec_alloc(strlen(shown) + 4);
  memcpy(text, shown, strlen(shown));
  memcpy(text + strlen(shown), RT_DIR_SEP "..", 4);
  free(shown);
  *home = text;
  if (why != RT_OK) {
    rt_trace(kTraceName, "java home=%q refused reason=%s", text,
             rt_outcome_word(why));
    return SEC_HOME_NOT_IN_CODE_PAGE;
  }
  rt_trace(kTraceName,
           "JAVA_HOME unset, java home=%q from the program directory", text);
  return 0;
}

// What the launcher hands to the VM stays reachable until the process exits.
static const char* java_home;
static char** launch_vector;

static int is_vm_option(const char* arg) {
  return strncmp(arg, "-J", 2) == 0 || strncmp(arg, "-D", 2) == 0;
}

char** sec_launch_vector(int argc, char** argv, const char* home, int* count) {
  size_t size = strlen(home) + 16;
  char** vector;
  char* property;
  char* at;
  int n = 0;
  if (argc < 1) {
    argc = 1;
  }
  // Every argument may take one entry, besides the four fixed ones.
  vector = (char**)sec_alloc(((size_t)argc + 4) * sizeof(char*));
  property = (char*)sec_alloc(size);
  at = property;
  put(&at, "-Djava.home=", 12);
  memcpy(at, home, size - 15);
  vector[n++] = (char*)kProgramName;
  vector[n++] = (char*)kInitialHeap;
  vector[n++] = property;
  for (int i = 1; i < argc; i++) {
    if (strncmp(argv[i], "-J", 2) == 0) {
      vector[n++] = argv[i] + 2;
    } else if (strncmp(argv[i], "-D", 2) == 0) {
      vector[n++] = argv[i];
    }
  }
  vector[n++] = (char*)kMainClass;
  for (int i = 1; i < argc; i++) {
    if (!is_vm_option(argv[i])) {
      vector[n++] = argv[i];
    }
  }
  *count = n;
  return vector;
}

// Puts the class path into the environment: the old value first, exactly
// as the environment holds it, so that it comes back with every character
// (on Windows in UTF-16). When the environment cannot take it, the launcher
// goes on all the same.
static void set_class_path(const char* dir) {
  char* old;
  char* class_path;
  int rc = rt_getenv_text("CLASSPATH", &old);
  if (rc == RT_NO_MEMORY) {
    sec_out_of_memory();
  }
  if (rc == RT_NOT_TEXT) {
    rt_trace(kTraceName, "CLASSPATH not set reason=%s", rt_outcome_word(rc));
    return;
  }
  class_path = sec_class_path(old, dir);
  rc = rt_putenv_text(class_path);
  if (rc == RT_NO_MEMORY) {
    sec_out_of_memory();
  }
  if (rc == RT_OK) {
    rt_trace(kTraceName, "CLASSPATH set value=%q",
             class_path + strlen("CLASSPATH="));
  } else {
    rt_trace(kTraceName, "CLASSPATH not set reason=%s value=%q",
             rt_outcome_word(rc), class_path + strlen("CLASSPATH="));
  }
  // The environment took a copy.
  free(class_path);
  free(old);
}

// Writes the message for a text that would go to the VM but has no exact
// form in the code page (shown with "?" for each character it lacks).
static void refuse(const char* shown) {
  fprintf(stderr,
          "quillan_g: cannot pass \"%s\" to the VM: the code page lacks a "
          "character of it\n",
          shown);
}

// The launcher's own folder stays reachable until the process exits.
static char* own_dir;

int sec_main(int argc, char** argv) {
  const char* exact;
  int count;

  // Without its own directory the launcher would build the class path from
  // the current directory, which is not the product's; it stops instead.
  if (sec_program_dir(&own_dir)) {
    fprintf(stderr, "*** Cannot find the directory of quillan ***\n");
    return 1;
  }
  // The class path is set before JAVA_HOME is examined.
  set_class_path(own_dir);
  switch (sec_java_home(own_dir, &java_home)) {
    case SEC_HOME_INVALID:
      fprintf(stderr, "Invalid JAVA_HOME: %s\n", java_home);
      return 1;
    case SEC_HOME_NOT_IN_CODE_PAGE:
      refuse(java_home);
      return 1;
  }
  // Every argument goes to the VM or to the tool: one that the code page
  // cannot hold is never passed in another form.
  for (int i = 1; i < argc; i++) {
    if (rt_arg_not_in_code_page(argv[i], &exact)) {
      rt_trace(kTraceName, "argument %q refused reason=%s", argv[i],
               rt_outcome_word(RT_NOT_IN_CODE_PAGE));
      refuse(argv[i]);
      return 1;
    }
  }
  launch_vector = sec_launch_vector(argc, argv, java_home, &count);
  rt_trace(kTraceName, "launch %v", count, launch_vector);
  return java_main(count, launch_vector);
}
