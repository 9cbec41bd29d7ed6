// The stack protector's guard and its failure calls on Windows, linked into
// every program and library in place of those of gcc's libssp, whose guard
// comes from ADVAPI32.dll: this one takes it from msvcrt's rand_s, so the
// files import only the kernel and msvcrt. The fortified functions of libssp
// (__memcpy_chk and the like) still come from libssp and call __chk_fail.
#define _CRT_RAND_S
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>

// Not zero before the guard is set, so that a smashed frame with a zeroed
// word is caught even then.
extern "C" {
uintptr_t __stack_chk_guard = (uintptr_t)0x2f6b1d3c9a4e5087ULL;
[[noreturn]] void __stack_chk_fail(void);
[[noreturn]] void __chk_fail(void);
}

// Windows's own status for an overrun buffer: the process ends at once,
// running no handler and writing nothing through the smashed stack.
static void fail_now(void) {
  TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_trap();
}

void __stack_chk_fail(void) {
  fail_now();
  __builtin_unreachable();
}

void __chk_fail(void) {
  fail_now();
  __builtin_unreachable();
}

// Runs before main and before a library's DllMain, from the runtime's
// start-up, which no protected frame is below. Without rand_s (older
// Windows), the counters and ids of the process still make each run's guard
// differ. Unprotected itself: it changes the guard that it would check.
__attribute__((constructor(101), no_stack_protector)) static void
set_guard(void) {
  static unsigned int parts[2];
  static LARGE_INTEGER counter;
  uintptr_t guard;

  if (rand_s(&parts[0]) != 0 || rand_s(&parts[1]) != 0) {
    QueryPerformanceCounter(&counter);
    parts[0] = (unsigned int)counter.LowPart ^ GetCurrentProcessId();
    parts[1] = (unsigned int)counter.HighPart ^ GetTickCount() ^
               (GetCurrentThreadId() << 16);
  }
  guard = (uintptr_t)parts[0];
  if (sizeof guard > 4) {
    guard ^= (uintptr_t)(((uint64_t)parts[1] << 32));
  } else {
    guard ^= (uintptr_t)parts[1] << 7;
  }
  // A zero byte first stops a string copy from writing the guard back.
  __stack_chk_guard = guard & ~(uintptr_t)0xff;
}
