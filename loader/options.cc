// The loader's option scan and its usage text.
#include <stdio.h>
#include <string.h>

#include "loader/loader.h"
#include "rt/trace.h"

enum OptionKind {
  OPT_PLAIN,  // accepted alone
  OPT_NAME,   // takes the application name as its value
  OPT_VALUE,  // takes a value that is skipped whatever it holds
};

struct Option {
  const char* text;
  size_t prefix;  // 0: the whole text must match; else this many characters
  OptionKind kind;
};

// Looked up in this order; matching is case-sensitive.
static const Option kOptions[] = {
    {"-name", 0, OPT_NAME},        {"-v", 0, OPT_PLAIN},
    {"-verbose", 0, OPT_PLAIN},    {"-noagent", 0, OPT_PLAIN},
    {"-debugport", 0, OPT_VALUE},  {"-noasyncgc", 0, OPT_PLAIN},
    {"-verbosegc", 0, OPT_PLAIN},  {"-noclassgc", 0, OPT_PLAIN},
    {"-verify", 0, OPT_PLAIN},     {"-verifyremote", 0, OPT_PLAIN},
    {"-noverify", 0, OPT_PLAIN},   {"-tracegc", 0, OPT_PLAIN},
    {"-ss", 3, OPT_PLAIN},         {"-oss", 4, OPT_PLAIN},
    {"-ms", 3, OPT_PLAIN},         {"-mx", 3, OPT_PLAIN},
    {"-D", 2, OPT_PLAIN},          {"-classpath", 0, OPT_VALUE},
};

static const Option* find_option(const char* arg) {
  for (const Option& opt : kOptions) {
    // Every option starts with "-"; most differ from arg in the next byte.
    if (opt.text[1] != arg[1]) {
      continue;
    }
    if (opt.prefix ? strncmp(arg, opt.text, opt.prefix) == 0
                   : strcmp(arg, opt.text) == 0) {
      return &opt;
    }
  }
  return NULL;
}

int ldr_scan_options(int argc, char** argv, const char** name,
                     int* class_index) {
  *name = NULL;
  *class_index = -1;
  int i = 1;
  while (i < argc) {
    const char* arg = argv[i];
    if (arg[0] != '-') {
      // Everything from the class on belongs to the Java program.
      *class_index = i;
      if (!*name) {
        *name = arg;
      }
      return 0;
    }
    const Option* opt = find_option(arg);
    if (!opt) {
      rt_trace(ldr_trace_name, "option %q index=%d refused reason=%s", arg, i,
               rt_outcome_word(RT_UNKNOWN_OPTION));
      return 1;
    }
    switch (opt->kind) {
      case OPT_NAME:
        if (i + 1 >= argc || argv[i + 1][0] == '-') {
          rt_trace(ldr_trace_name, "option %q index=%d refused reason=%s", arg,
                   i, rt_outcome_word(RT_NAME_WITHOUT_VALUE));
          return 1;
        }
        *name = argv[i + 1];
        i += 2;
        break;
      case OPT_VALUE:
        i += 2;
        break;
      case OPT_PLAIN:
        i++;
        break;
    }
  }
  return 0;
}

void ldr_print_usage(void) {
  printf(
      "usage: kestrel [options] [class] \n"
      "\n"
      "where options include:\n"
      "\n"
      "-name xxx     specify a name to identify this app\n"
      "-help         print out this message\n"
      "-v -verbose   turn on verbose mode\n"
      "-noasyncgc    don't allow asynchronous garbage collection\n"
      "-verbosegc    print a message when garbage collection occurs\n"
      "-noclassgc    disable class garbage collection\n"
      "-ss<number>   set the maximum native stack size for any thread\n"
      "-oss<number>  set the maximum Java stack size for any thread\n"
      "-ms<number>   set the initial Java heap size\n"
      "-mx<number>   set the maximum Java heap size\n"
      "-classpath <directories separated by semicolons>\n"
      "              list directories in which to look for classes\n"
      "-verify       verify all classes when read in\n"
      "-verifyremote verify classes read in over the network [default]\n"
      "-noverify     do not verify any class\n"
      "\n"
      "If no class is specified the vm will wait for a class to be sent\n"
      "it by Brisbeck.\n"
      "\n");
}
