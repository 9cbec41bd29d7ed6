// The loader's main line: expansion, banner, option scan, and the debug launch
// vector handed to the VM.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "loader/loader.h"
#include "rt/rt.h"
#include "rt/trace.h"
#include "vmstub/javai_g.h"

static const char kProgramName[] = "kestrel";
static const char kDebugSwitch[] = "-debug";
static const char kNameKey[] = "norvane.plume.remote.vm.name";
static const char kAgentClass[] = "norvane.tools.debug.Agent";
static const char kEmptyApp[] = "norvane.tools.debug.EmptyApp";
static const char kBanner[] =
    "Norvane Debug VM Loader 0.5\n"
    "Copyright (c) Norvane. All rights reserved.\n"
    "\n";

const char* ldr_trace_name = "kestrel";

int ldr_out_of_memory(void) {
  fprintf(stderr, "kestrel: not enough memory to start the VM\n");
  return 1;
}

// Tells whether arg can go to the VM: every argument does that the code
// page holds exactly; of any other, one clear line names the argument and
// the VM is not started. Returns 1 when it can, 0 after the message.
static int passes(const char* arg) {
  const char* exact;
  if (!rt_arg_not_in_code_page(arg, &exact)) {
    return 1;
  }
  fflush(stdout);
  fprintf(stderr,
          "kestrel: cannot pass \"%s\" to the VM: the code page lacks a "
          "character of it\n",
          arg);
  rt_trace(ldr_trace_name, "argument %q refused reason=%s, the VM is not started",
           arg, rt_outcome_word(RT_NOT_IN_CODE_PAGE));
  return 0;
}

int ldr_main(int argc, char** argv) {
  const char* name;
  int class_index;
  char** vector;
  int count = 0;

  // A failed expansion leaves the list as it was, which is what is wanted.
  if (ldr_expand(&argc, &argv)) {
    rt_trace(ldr_trace_name, "expand failed, the arguments stay as given");
  }

  fputs(kBanner, stdout);

  // Room for every argument plus the fixed entries, and a null entry after.
  vector = (char**)calloc((size_t)argc + 5, sizeof(char*));
  if (!vector) {
    return ldr_out_of_memory();
  }
  vector[count++] = (char*)kProgramName;
  vector[count++] = (char*)kDebugSwitch;

  if (ldr_scan_options(argc, argv, &name, &class_index)) {
    ldr_print_usage();
    rt_trace(ldr_trace_name, "usage text shown, the VM is not started");
    return 1;
  }

  if (name && !passes(name)) {
    return 1;
  }
  if (name) {
    size_t size = strlen(kNameKey) + strlen(name) + 4;
    char* property = (char*)calloc(size, 1);
    if (!property) {
      return ldr_out_of_memory();
    }
    memcpy(property, "-D", 2);
    memcpy(property + 2, kNameKey, sizeof kNameKey - 1);
    property[sizeof kNameKey + 1] = '=';
    memcpy(property + sizeof kNameKey + 2, name, strlen(name) + 1);
    vector[count++] = property;
  }

  for (int i = 1; i < argc; i++) {
    // "-name" and its value never reach the VM, wherever they stand.
    if (strcmp(argv[i], "-name") == 0) {
      i++;
      continue;
    }
    if (!passes(argv[i])) {
      return 1;
    }
    if (i == class_index) {
      vector[count++] = (char*)kAgentClass;
    }
    vector[count++] = argv[i];
  }
  if (class_index < 0) {
    vector[count++] = (char*)kEmptyApp;
  }

  fflush(stdout);
  rt_trace(ldr_trace_name, "launch %v", count, vector);
  return java_main(count, vector);
}
