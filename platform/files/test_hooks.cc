#include "platform/files/test_hooks.h"

#ifdef VRX_TEST_HOOKS

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace vrx::sqlite_detail {
namespace {

struct Counter {
  long count = 0;
  long kill_after = 0;
  const char* count_file = nullptr;
  Counter() {
    if (const char* k = std::getenv("VRX_KILL_AFTER_OPERATION")) kill_after = std::atol(k);
    count_file = std::getenv("VRX_OPERATION_COUNT_FILE");
  }
  ~Counter() {
    if (count_file == nullptr) return;
    if (std::FILE* out = std::fopen(count_file, "w")) {
      std::fprintf(out, "%ld\n", count);
      std::fclose(out);
    }
  }
};

Counter& counter() {
  static Counter c;
  return c;
}

}  // namespace

void count_operation() {
  Counter& c = counter();
  if (++c.count == c.kill_after) ::kill(::getpid(), SIGKILL);
}

}  // namespace vrx::sqlite_detail

#endif
