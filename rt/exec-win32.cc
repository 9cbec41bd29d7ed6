// Starting another program on Windows, whose exec call does not replace the
// process: the command line built once in UTF-16 from the arguments, and a
// start that ends the program with the caller. The search is in
// search-win32.cc, what the program inherits in inherit-win32.cc.
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "rt/cmdline.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"

// The arguments of argv, each decoded once from the code page, written into
// one UTF-16 command line by the runtime's quoting rules. Returns RT_OK and
// sets *line, which the caller frees with free(); RT_COMMAND_LINE_TOO_LONG
// when the line with its terminator would pass RT_CMDLINE_MAX units;
// RT_NOT_TEXT when an argument is no text in the code page; RT_NO_MEMORY.
static int wide_command_line(char* const* argv, wchar_t** line) {
  size_t count = 0;
  wchar_t** args;
  size_t* lens;
  int rc = RT_NO_MEMORY;
  while (argv[count]) {
    count++;
  }
  args = (wchar_t**)calloc(count + 1, sizeof(wchar_t*));
  lens = (size_t*)calloc(count + 1, sizeof(size_t));
  if (!args || !lens) {
    goto done;
  }
  for (size_t i = 0; i < count; i++) {
    size_t len = strlen(argv[i]);
    int units;
    // Every character takes at least one byte, so an argument this long
    // cannot fit the line whatever the code page.
    if (len >= 4 * (size_t)RT_CMDLINE_MAX) {
      rc = RT_COMMAND_LINE_TOO_LONG;
      goto done;
    }
    rc = rt_widen(argv[i], len, &args[i], &units);
    if (rc != RT_OK) {
      goto done;
    }
    lens[i] = (size_t)units;
  }
  rc = rt_cmdline_build((const uint16_t* const*)args, lens, count,
                        (uint16_t**)line);

done:
  for (size_t i = 0; args && i < count; i++) {
    free(args[i]);
  }
  free(args);
  free(lens);
  return rc;
}

// Tells the caller's trace of the start, in the code page, "?" standing for
// a character of the program's path that the code page lacks.
static void report_start(RtExecReport* report, const wchar_t* app,
                         const wchar_t* cmdline) {
  char* program;
  char* line;
  rt_code_page_copy(app, wcslen(app), "", &program);
  rt_code_page_copy(cmdline, wcslen(cmdline), "", &line);
  report->starting(program ? program : "", line ? line : "");
  free(program);
  free(line);
}

// A job that ends every process in it when its last handle closes: when the
// caller ends, however it ends (a web server ending a request kills it),
// the started program ends with it. Null when the kernel refuses.
static HANDLE make_job(void) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  HANDLE job = CreateJobObjectW(NULL, NULL);
  if (!job) {
    return NULL;
  }
  memset(&limits, 0, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                               &limits, sizeof limits)) {
    CloseHandle(job);
    return NULL;
  }
  return job;
}

int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report) {
  wchar_t* cmdline = NULL;
  wchar_t* app = NULL;
  wchar_t* name;
  int rc;
  HANDLE job = NULL;
  PROCESS_INFORMATION pi;
  DWORD code;

  if (rt_widen(file, strlen(file), &name, NULL) != RT_OK) {
    return RT_NO_MEMORY;
  }
  rc = rt_search_program(name, &app);
  free(name);
  if (rc != RT_OK) {
    return rc;
  }
  // The line is measured as it is started, in UTF-16. Windows refuses one
  // over the limit, and Wine starts it cut short, with arguments missing:
  // neither may happen to a request, so it is not started at all.
  rc = wide_command_line(argv, &cmdline);
  if (rc != RT_OK) {
    goto fail;
  }
  if (report->starting) {
    report_start(report, app, cmdline);
  }
  job = make_job();
  if (!rt_start_suspended(app, cmdline, &pi)) {
    rc = RT_REFUSED;
    goto fail;
  }
  free(cmdline);
  free(app);
  // Without the job (a caller in a job that forbids nesting, on older
  // systems) the program runs all the same, untied.
  if (!job || !AssignProcessToJobObject(job, pi.hProcess)) {
    if (report->untied) {
      report->untied(job ? RT_JOB_NOT_ASSIGNED : RT_JOB_NOT_CREATED);
    }
  }
  ResumeThread(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  if (!GetExitCodeProcess(pi.hProcess, &code)) {
    code = 1;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (job) {
    CloseHandle(job);
  }
  *status = (int)code;
  return RT_OK;

fail:
  if (job) {
    CloseHandle(job);
  }
  free(cmdline);
  free(app);
  return rc;
}
