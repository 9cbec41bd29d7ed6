// The stack protector's guard on Windows (rt/ssp-win32.cc): set afresh in
// each process, and an overrun buffer ends the process as Windows ends one.
#include <gtest/gtest.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

extern "C" uintptr_t __stack_chk_guard;

namespace {

// Windows's status for an overrun stack buffer.
const int kOverrun = (int)0xC0000409;

// Writes n bytes into a buffer of 8 on the stack, past its end when n > 8;
// the pointer hides the size from the fortified functions.
__attribute__((noinline)) int fill(size_t n) {
  char buffer[8];
  char* volatile to = buffer;
  for (size_t i = 0; i < n; i++) {
    to[i] = 'x';
  }
  return buffer[0];
}

// Bits of a guard that fit an exit status.
int guard_bits(uintptr_t guard) {
  return (int)((guard >> 8) & 0x3fffffff);
}

TEST(StackProtectorDeathTest, TheGuardIsSetAndEachProcessHasItsOwn) {
  const int mine = guard_bits(__stack_chk_guard);
  EXPECT_EQ(0u, __stack_chk_guard & 0xff);
  EXPECT_EXIT(_exit(guard_bits(__stack_chk_guard)),
              [mine](int status) { return status != mine; }, "");
}

TEST(StackProtectorDeathTest, AnOverrunBufferEndsTheProcess) {
  EXPECT_EQ('x', fill(8));
  EXPECT_EXIT(exit(fill(64)), ::testing::ExitedWithCode(kOverrun), "");
}

}  // namespace
