#include "common/guarded_call.h"

namespace dravel {

void GuardedCalls::report(std::string_view what) noexcept {
  try {
    form_.report_failure(kFailureReason, what);
  } catch (...) {
    // The report is the last resort: a runtime that cannot report has
    // nowhere else to go, and the run goes on.
  }
}

}  // namespace dravel
