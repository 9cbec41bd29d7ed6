// The debug VM loader: argument expansion, the option scan and the launch,
// shared by the console and the GUI entry.
#ifndef LOADER_LOADER_H_
#define LOADER_LOADER_H_

#include <stddef.h>

#include "rt/grow.h"

// Runs the loader on an argument list: expands @-arguments, prints the banner,
// checks the options and hands the debug launch vector to the VM. Returns the
// VM's status, or 1 after a usage error, when an argument for the VM has no
// exact form in the code page (rt_arg_not_in_code_page), or when the launch
// vector cannot be allocated (the VM is then not started).
int ldr_main(int argc, char** argv);

// Writes the loader's message for memory that runs out before the VM is
// started to standard error. Returns 1, the status to exit with.
int ldr_out_of_memory(void);

// The name that starts the loader's trace lines: "kestrel", or "kestrelw" as
// the GUI entry sets it before calling ldr_main. Never freed; lives until the
// process exits.
extern const char* ldr_trace_name;

// Splits text[0..end) into words in place, by the loader's quoting rules, and
// adds each word to args. A byte may be written at end, so the buffer must
// hold one byte past it. Sets *rescan when a word holds "@". Returns 0, or 1
// when args cannot grow.
int ldr_split(char* text, char* end, RtList* args, int* rescan);

// The most passes one expansion makes (nested @-arguments need one pass per
// level), the most @-arguments it reads and the most text it reads in all,
// so that response files that name one another end in a failure rather than
// without end.
#define LDR_MAX_PASSES 16
#define LDR_MAX_SOURCES 8192
#define LDR_MAX_TEXT (4ul << 20)

// Largest response file that is read.
#define LDR_MAX_RESPONSE_FILE 65535ul

// Replaces every @NAME argument by the words of the variable NAME or, when no
// such variable exists, of the file NAME; repeats while the words hold "@".
// Returns 0 with *argc and *argv describing the new, null-terminated list, or
// 1 with both untouched. The new list and the texts it points into are never
// freed; they live until the process exits.
int ldr_expand(int* argc, char*** argv);

// Scans the options of an argument list. On success returns 0 and sets *name
// to the application name (null when none) and *class_index to the index of
// the class argument (-1 when none). Returns 1 on a usage error, after
// tracing the element at fault.
int ldr_scan_options(int argc, char** argv, const char** name,
                     int* class_index);

// Writes the usage text to standard output.
void ldr_print_usage(void);

#endif  // LOADER_LOADER_H_
