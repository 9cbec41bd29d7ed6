// Allocation-failure injection for tests linked with the wrapped allocator.
#ifndef TESTS_SUPPORT_FAULTS_H_
#define TESTS_SUPPORT_FAULTS_H_

#include <functional>
#include <string>

// Makes the n-th allocation from now on (1 = the next one) fail, and every
// one after it while still armed; 0 disarms.
void fault_fail_from(int n);

// Makes the n-th allocation from now on fail, and no other.
void fault_fail_only(int n);

// The number of allocations made since the last fault_fail_from or
// fault_fail_only call.
int fault_count(void);

// One injected fault: the n-th allocation fails, alone or with every one
// after it; n 0 fails none.
struct Fault {
  int n;
  bool alone;
};

// "allocation N alone", "allocations from N" or "no fault", for messages.
std::string describe(const Fault& fault);

// Runs call with fault armed and disarms it after. Returns true when the
// fault struck: call made at least fault.n allocations.
bool run_with_fault(const Fault& fault, const std::function<void()>& call);

// Calls attempt with every fault that a run can meet: for n = 1, 2, ... the
// n-th allocation failing alone and then with all after it, until a run
// makes fewer than n allocations; then once with no fault. attempt runs the
// code under test through run_with_fault and checks its outcome on the side
// that the result of run_with_fault tells. Returns the number of
// allocations that a run without a fault made.
int each_fault(const std::function<void(const Fault&)>& attempt);

#endif  // TESTS_SUPPORT_FAULTS_H_
