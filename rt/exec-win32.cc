// Starting another program on Windows, whose exec call does not replace the
// process: the search along PATH, the command line built in UTF-16, and a
// start that gives the program only the standard handles and ends it with
// the caller.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "rt/cmdline.h"
#include "rt/path.h"
#include "rt/rt-win32.h"
#include "rt/rt.h"

char* rt_exec_arg(const char* prefix, const char* value) {
  size_t plen = strlen(prefix);
  DWORD flags = rt_narrow_flags();
  wchar_t* wide = NULL;
  uint16_t* quoted = NULL;
  char* arg = NULL;
  size_t qlen;
  int units;
  int n;

  // The argument's bounds are decided on the value as the started program's
  // runtime decodes it: in a double-byte code page a trail byte 0x5C is part
  // of a character, not a backslash, and a lead byte takes the byte after
  // it. So the value is decoded, quoted as UTF-16 and encoded again; what
  // comes back holds only whole characters of the code page.
  wide = rt_widen(value, strlen(value), &units);
  if (!wide) {
    goto fail;
  }
  qlen = rt_quoted_length((const uint16_t*)wide, (size_t)units);
  if (qlen > 0x3fffffff) {
    goto fail;
  }
  quoted = (uint16_t*)malloc(qlen * sizeof(uint16_t));
  if (!quoted) {
    goto fail;
  }
  rt_quote_value((const uint16_t*)wide, (size_t)units, quoted);
  n = WideCharToMultiByte(CP_ACP, flags, (const wchar_t*)quoted, (int)qlen,
                          NULL, 0, NULL, NULL);
  if (n <= 0) {
    goto fail;
  }
  arg = (char*)malloc(plen + (size_t)n + 1);
  if (!arg) {
    goto fail;
  }
  memcpy(arg, prefix, plen);
  if (WideCharToMultiByte(CP_ACP, flags, (const wchar_t*)quoted, (int)qlen,
                          arg + plen, n, NULL, NULL) != n) {
    goto fail;
  }
  arg[plen + n] = '\0';
  free(wide);
  free(quoted);
  return arg;

fail:
  free(wide);
  free(quoted);
  free(arg);
  return NULL;
}

// What a search found.
enum { FOUND_NONE, FOUND_PROGRAM, FOUND_BATCH };

static int is_file(const char* path) {
  DWORD attr = GetFileAttributesA(path);
  return attr != INVALID_FILE_ATTRIBUTES &&
         (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The extension of the path's last name, from its last ".", or null.
static const char* extension(const char* path) {
  return strrchr(path + rt_path_dir_length(path, kRtDirSeps), '.');
}

static int is_batch(const char* path) {
  const char* dot = extension(path);
  return dot && (_stricmp(dot, ".bat") == 0 || _stricmp(dot, ".cmd") == 0);
}

// Tries candidate as given when it has an extension, else with the runtime's
// extensions in its order. A batch file, whose command line the command
// interpreter would parse again, is never taken: the search passes over it.
// Returns FOUND_PROGRAM with found (RT_PATH_MAX bytes) filled, FOUND_BATCH
// when only batch files match, else FOUND_NONE.
static int try_candidate(const char* candidate, char* found) {
  static const char* const kExtensions[] = {".com", ".exe", ".bat", ".cmd"};
  size_t len = strlen(candidate);
  int seen = FOUND_NONE;
  if (extension(candidate)) {
    if (len >= RT_PATH_MAX || !is_file(candidate)) {
      return FOUND_NONE;
    }
    if (is_batch(candidate)) {
      return FOUND_BATCH;
    }
    memcpy(found, candidate, len + 1);
    return FOUND_PROGRAM;
  }
  for (const char* ext : kExtensions) {
    if (len + strlen(ext) >= RT_PATH_MAX) {
      break;
    }
    memcpy(found, candidate, len);
    strcpy(found + len, ext);
    if (is_file(found)) {
      if (!is_batch(found)) {
        return FOUND_PROGRAM;
      }
      seen = FOUND_BATCH;
    }
  }
  return seen;
}

// Searches as the runtime's exec call does: the name itself first, then,
// when it holds no directory part, each directory of PATH in order. PATH is
// read in UTF-16; a directory that the code page cannot name exactly is
// passed over, never searched under the name of its best-fit stand-in.
// Returns a FOUND_ result, or -1 when out of memory.
static int search_program(const char* file, char* found) {
  char candidate[RT_PATH_MAX];
  size_t flen = strlen(file);
  wchar_t* path;
  int seen = try_candidate(file, found);
  if (seen == FOUND_PROGRAM || rt_path_dir_length(file, kRtDirSeps) > 0) {
    return seen;
  }
  switch (rt_getenv_wide(L"PATH", &path)) {
    case RT_ENV_NO_MEMORY:
      return -1;
    case RT_ENV_UNSET:
      return seen;
  }
  for (const wchar_t* dir = path; *dir;) {
    const wchar_t* end = wcschr(dir, L';');
    size_t units = end ? (size_t)(end - dir) : wcslen(dir);
    int dlen = units > 0 && units < sizeof candidate
                   ? rt_narrow_exact(dir, (int)units, candidate,
                                     sizeof candidate)
                   : -1;
    if (dlen > 0 && (size_t)dlen + 1 + flen < sizeof candidate) {
      size_t pos = (size_t)dlen;
      int got;
      if (!rt_path_ends_in(candidate, pos, "\\/")) {
        candidate[pos++] = '\\';
      }
      memcpy(candidate + pos, file, flen + 1);
      got = try_candidate(candidate, found);
      if (got == FOUND_PROGRAM) {
        free(path);
        return got;
      }
      if (got == FOUND_BATCH) {
        seen = got;
      }
    }
    dir = end ? end + 1 : dir + units;
  }
  free(path);
  return seen;
}

// The entries of argv joined by single blanks, as the runtime's exec call
// joins them (the entries come quoted from rt_exec_arg), decoded once into a
// new UTF-16 string that the caller frees with free(). Returns 0 and sets
// *line; RT_EXEC_TOO_LONG when the line with its terminator would pass
// RT_CMDLINE_MAX units, RT_EXEC_NO_MEMORY when out of memory.
static int wide_command_line(char* const* argv, wchar_t** line) {
  size_t total = 0;
  size_t at = 0;
  for (char* const* a = argv; *a; a++) {
    size_t len = strlen(*a);
    int n = 0;
    // No character of any code page takes more than four bytes, so an
    // entry this long cannot fit the line; shorter ones are measured.
    if (len > 4 * (size_t)RT_CMDLINE_MAX) {
      return RT_EXEC_TOO_LONG;
    }
    if (len > 0) {
      n = MultiByteToWideChar(CP_ACP, 0, *a, (int)len, NULL, 0);
      if (n <= 0) {
        return RT_EXEC_NO_MEMORY;
      }
    }
    // The blank after the entry, or the terminator after the last.
    total += (size_t)n + 1;
    if (total > RT_CMDLINE_MAX) {
      return RT_EXEC_TOO_LONG;
    }
  }
  *line = (wchar_t*)malloc((total + 1) * sizeof(wchar_t));
  if (!*line) {
    return RT_EXEC_NO_MEMORY;
  }
  for (char* const* a = argv; *a; a++) {
    size_t len = strlen(*a);
    if (a != argv) {
      (*line)[at++] = L' ';
    }
    if (len > 0) {
      at += (size_t)MultiByteToWideChar(CP_ACP, 0, *a, (int)len, *line + at,
                                        (int)(total - at));
    }
  }
  (*line)[at] = L'\0';
  return 0;
}

// The entries of argv joined by single blanks, for the caller's trace.
// Returns a new string that the caller frees with free(); null when out of
// memory.
static char* narrow_command_line(char* const* argv) {
  size_t len = 0;
  char* line;
  for (char* const* a = argv; *a; a++) {
    len += strlen(*a) + 1;
  }
  line = (char*)malloc(len + 1);
  if (!line) {
    return NULL;
  }
  len = 0;
  for (char* const* a = argv; *a; a++) {
    size_t n = strlen(*a);
    if (a != argv) {
      line[len++] = ' ';
    }
    memcpy(line + len, *a, n);
    len += n;
  }
  line[len] = '\0';
  return line;
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

typedef BOOL(WINAPI* InitializeList)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD,
                                     DWORD, PSIZE_T);
typedef BOOL(WINAPI* UpdateList)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD,
                                 DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
typedef void(WINAPI* DeleteList)(LPPROC_THREAD_ATTRIBUTE_LIST);

// The kernel's attribute lists, looked up by name: older systems lack them,
// and the programs still start there.
struct AttributeCalls {
  InitializeList initialize;
  UpdateList update;
  DeleteList remove;
};

static int attribute_calls(AttributeCalls* calls) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) {
    return 0;
  }
  calls->initialize = (InitializeList)(void*)GetProcAddress(
      kernel, "InitializeProcThreadAttributeList");
  calls->update = (UpdateList)(void*)GetProcAddress(
      kernel, "UpdateProcThreadAttribute");
  calls->remove = (DeleteList)(void*)GetProcAddress(
      kernel, "DeleteProcThreadAttributeList");
  return calls->initialize && calls->update && calls->remove;
}

// An attribute list that limits what the started program inherits to the
// count handles at handles (which must stay valid until the start). Returns
// the list, which the caller releases with free_handle_list(); null where
// the kernel has no such lists or memory ran out: the program then inherits
// every inheritable handle.
static LPPROC_THREAD_ATTRIBUTE_LIST handle_list(const AttributeCalls* calls,
                                                HANDLE* handles, DWORD count) {
  LPPROC_THREAD_ATTRIBUTE_LIST list;
  SIZE_T size = 0;
  if (count == 0) {
    return NULL;
  }
  calls->initialize(NULL, 1, 0, &size);
  list = (LPPROC_THREAD_ATTRIBUTE_LIST)malloc(size);
  if (!list) {
    return NULL;
  }
  if (!calls->initialize(list, 1, 0, &size)) {
    free(list);
    return NULL;
  }
  if (!calls->update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                     count * sizeof(HANDLE), NULL, NULL)) {
    calls->remove(list);
    free(list);
    return NULL;
  }
  return list;
}

static void free_handle_list(const AttributeCalls* calls,
                             LPPROC_THREAD_ATTRIBUTE_LIST list) {
  if (list) {
    calls->remove(list);
    free(list);
  }
}

// The standard handles, made inheritable, each once: a list that names a
// handle twice is refused.
static DWORD standard_handles(STARTUPINFOW* si, HANDLE* handles) {
  static const DWORD kWhich[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE,
                                 STD_ERROR_HANDLE};
  HANDLE* slots[] = {&si->hStdInput, &si->hStdOutput, &si->hStdError};
  DWORD count = 0;
  for (int i = 0; i < 3; i++) {
    HANDLE h = GetStdHandle(kWhich[i]);
    *slots[i] = h;
    if (h == NULL || h == INVALID_HANDLE_VALUE ||
        !SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
      continue;
    }
    int seen = 0;
    for (DWORD k = 0; k < count; k++) {
      seen |= handles[k] == h;
    }
    if (!seen) {
      handles[count++] = h;
    }
  }
  return count;
}

// Starts the program suspended, with only the standard handles where the
// kernel can say so. Returns 1 when it started.
static int start_suspended(const wchar_t* app, wchar_t* cmdline,
                           PROCESS_INFORMATION* pi) {
  STARTUPINFOEXW si;
  HANDLE handles[3];
  AttributeCalls calls;
  LPPROC_THREAD_ATTRIBUTE_LIST list = NULL;
  DWORD flags = CREATE_SUSPENDED;
  BOOL started;
  memset(&si, 0, sizeof si);
  si.StartupInfo.cb = sizeof si.StartupInfo;
  si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  DWORD count = standard_handles(&si.StartupInfo, handles);
  if (attribute_calls(&calls)) {
    list = handle_list(&calls, handles, count);
  }
  if (list) {
    si.StartupInfo.cb = sizeof si;
    si.lpAttributeList = list;
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  started = CreateProcessW(app, cmdline, NULL, NULL, TRUE, flags, NULL, NULL,
                           &si.StartupInfo, pi);
  free_handle_list(&calls, list);
  if (!started && list) {
    // Some kernels refuse a list that names a console's handles: the start
    // is tried again the way it was made before such lists.
    si.StartupInfo.cb = sizeof si.StartupInfo;
    started = CreateProcessW(app, cmdline, NULL, NULL, TRUE, CREATE_SUSPENDED,
                             NULL, NULL, &si.StartupInfo, pi);
  }
  return started ? 1 : 0;
}

int rt_exec(const char* file, char* const* argv, int* status,
            RtExecReport* report) {
  char found[RT_PATH_MAX];
  wchar_t* cmdline = NULL;
  wchar_t* app = NULL;
  int app_units;
  HANDLE job;
  PROCESS_INFORMATION pi;
  DWORD code;

  switch (search_program(file, found)) {
    case FOUND_PROGRAM:
      break;
    case FOUND_BATCH:
      report->reason = RT_EXEC_BATCH_FILE;
      return 1;
    case -1:
      report->reason = RT_EXEC_NO_MEMORY;
      return 1;
    default:
      report->reason = RT_EXEC_NOT_FOUND;
      return 1;
  }
  // The line is measured as it is started, in UTF-16. Windows refuses one
  // over the limit, and Wine starts it cut short, with arguments missing:
  // neither may happen to a request, so it is not started at all.
  report->reason = wide_command_line(argv, &cmdline);
  if (report->reason) {
    return 1;
  }
  app = rt_widen(found, strlen(found), &app_units);
  if (!app) {
    free(cmdline);
    report->reason = RT_EXEC_NO_MEMORY;
    return 1;
  }
  if (report->starting) {
    char* line = narrow_command_line(argv);
    report->starting(found, line ? line : "");
    free(line);
  }
  job = make_job();
  if (!start_suspended(app, cmdline, &pi)) {
    if (job) {
      CloseHandle(job);
    }
    free(cmdline);
    free(app);
    report->reason = RT_EXEC_REFUSED;
    return 1;
  }
  free(cmdline);
  free(app);
  // Without the job (a caller in a job that forbids nesting, on older
  // systems) the program runs all the same, untied.
  if (!job || !AssignProcessToJobObject(job, pi.hProcess)) {
    if (report->untied) {
      report->untied(job ? "job-not-assigned" : "job-not-created");
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
  return 0;
}
