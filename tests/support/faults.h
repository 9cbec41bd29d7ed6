// Allocation-failure injection for tests linked with the wrapped allocator.
#ifndef TESTS_SUPPORT_FAULTS_H_
#define TESTS_SUPPORT_FAULTS_H_

// Makes the n-th allocation from now on (1 = the next one) fail, and every
// one after it while still armed; 0 disarms.
void fault_fail_from(int n);

// The number of allocations made since the last fault_fail_from call.
int fault_count(void);

#endif  // TESTS_SUPPORT_FAULTS_H_
