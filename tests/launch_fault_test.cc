// The loader under allocation failure: whichever allocation fails, the VM is
// not started and the loader reports the failure.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "loader/loader.h"
#include "rt/rt.h"
#include "tests/support/faults.h"
#include "tests/support/proc.h"
#include "tests/support/record.h"

namespace {

TEST(LaunchFaultTest, NoAllocationFailureReachesTheVm) {
  std::string record = scratch_dir("launch_fault") + "record.txt";
  ASSERT_TRUE(test_putenv("JAVAI_G_RECORD=" + record));
  ASSERT_TRUE(test_putenv("LDR_FAULT_ARGS=-v Hello a b"));
  std::string args[] = {"kestrel", "@LDR_FAULT_ARGS", "c"};
  int n = 1;
  for (;; n++) {
    char* argv[] = {&args[0][0], &args[1][0], &args[2][0], nullptr};
    remove_file(record);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    fault_fail_from(n);
    int status = ldr_main(3, argv);
    int made = fault_count();
    fault_fail_from(0);
    fflush(stdout);
    ::testing::internal::GetCapturedStdout();
    std::string err = ::testing::internal::GetCapturedStderr();
    std::vector<VmCall> calls = read_record(record);
    if (made < n) {
      // Every allocation succeeded: the VM ran on the expanded list.
      ASSERT_EQ(0, status);
      ASSERT_EQ(1u, calls.size());
      EXPECT_EQ(9, calls[0].count);
      break;
    }
    EXPECT_EQ(1, status) << "allocation " << n;
    EXPECT_TRUE(calls.empty()) << "allocation " << n;
    // The captured stream is read back in text mode: LF line ends.
    EXPECT_EQ("kestrel: not enough memory to start the VM\n", err)
        << "allocation " << n;
  }
  EXPECT_GE(n, 4) << "expansion, vector and name property all allocate";
}

}  // namespace
