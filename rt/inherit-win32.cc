// What a started program inherits on Windows: the standard handles, and
// where the kernel can limit it through an attribute list, nothing else.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "rt/rt-win32.h"

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

int rt_start_suspended(const wchar_t* app, wchar_t* cmdline,
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
