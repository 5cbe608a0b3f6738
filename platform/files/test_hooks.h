// Test-only instrumentation of the engine. In a build with VRX_TEST_HOOKS
// defined (the hooked engine the kill tests run, never the programs people
// use), every operation of a handle is counted, and:
//   VRX_KILL_AFTER_OPERATION=K   the process kills itself with SIGKILL right
//                                after its K-th operation;
//   VRX_OPERATION_COUNT_FILE=F   the count is written to F at a normal exit.
// In every other build OperationCount is empty and costs nothing.
#ifndef PLATFORM_FILES_TEST_HOOKS_H_
#define PLATFORM_FILES_TEST_HOOKS_H_

namespace vrx::sqlite_detail {

#ifdef VRX_TEST_HOOKS
void count_operation();
struct OperationCount {
  OperationCount() = default;
  ~OperationCount() { count_operation(); }
  OperationCount(const OperationCount&) = delete;
  OperationCount& operator=(const OperationCount&) = delete;
};
#else
struct OperationCount {
  OperationCount() = default;
  OperationCount(const OperationCount&) = delete;
  OperationCount& operator=(const OperationCount&) = delete;
};
#endif

}  // namespace vrx::sqlite_detail

#endif  // PLATFORM_FILES_TEST_HOOKS_H_
