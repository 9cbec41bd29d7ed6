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
  int made = each_fault([&](const Fault& fault) {
    char* argv[] = {&args[0][0], &args[1][0], &args[2][0], nullptr};
    int status = -1;
    remove_file(record);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    bool struck = run_with_fault(fault, [&] { status = ldr_main(3, argv); });
    fflush(stdout);
    ::testing::internal::GetCapturedStdout();
    std::string err = ::testing::internal::GetCapturedStderr();
    std::vector<Call> calls = read_record(record);
    SCOPED_TRACE(describe(fault));
    if (!struck) {
      // Every allocation succeeded: the VM ran on the expanded list.
      ASSERT_EQ(0, status);
      ASSERT_EQ(1u, calls.size());
      EXPECT_EQ(9, calls[0].count);
      return;
    }
    if (fault.alone && status == 0) {
      // A failed expansion leaves the arguments as given, and the loader
      // goes on with them; nothing of a partial expansion is used.
      std::vector<std::string> unexpanded = {
          "kestrel", "-debug", "-Dnorvane.plume.remote.vm.name=@LDR_FAULT_ARGS",
          "norvane.tools.debug.Agent", "@LDR_FAULT_ARGS", "c"};
      EXPECT_EQ(unexpanded, one_call(calls));
      return;
    }
    EXPECT_EQ(1, status);
    EXPECT_TRUE(calls.empty());
    // The captured stream is read back in text mode: LF line ends.
    EXPECT_EQ("kestrel: not enough memory to start the VM\n", err);
  });
  EXPECT_GE(made, 3) << "expansion, vector and name property all allocate";
}

}  // namespace
