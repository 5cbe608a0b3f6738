// The guarded call: every call of an event procedure, of PROC-EXC and of a
// form-runtime operation goes through here. A call that the runtime marks as
// failed (it returns false) or that throws is handed to the runtime's failure
// report with reason 16, and the caller goes on with its next step. Nothing
// thrown inside ever leaves a guarded call.
//
// A procedure is never entered again while it is running: a second call of a
// running procedure (a runtime delivering an event from inside a modal box)
// is ignored without a word.
//
// Threading: the user-interface thread only.
#ifndef COMMON_GUARDED_CALL_H_
#define COMMON_GUARDED_CALL_H_

#include <bitset>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/form/form_services.h"

namespace dravel {

// The procedures a guarded call can run.
enum class Procedure : std::size_t {
  evento_1,
  evento_2,
  evento_3,
  evento_4,
  evento_5,
  evento_6,
  evento_7,
  evento_8,
  evento_9,
  evento_10,
  proc_exc,
};
inline constexpr std::size_t kProcedureCount = 11;

// The reason code of every failure report of this program.
inline constexpr int kFailureReason = 16;

class GuardedCalls {
 public:
  explicit GuardedCalls(vantrexo::FormServices& form) : form_(form) {}
  GuardedCalls(const GuardedCalls&) = delete;
  GuardedCalls& operator=(const GuardedCalls&) = delete;

  // Runs a form-runtime operation that returns whether it succeeded.
  // Returns that outcome (false too when it threw), after reporting a failure
  // as `what`.
  template <typename Operation>
  bool call(std::string_view what, Operation&& operation) noexcept {
    static_assert(std::is_same_v<std::invoke_result_t<Operation>, bool>);
    bool ok = false;
    try {
      ok = std::forward<Operation>(operation)();
    } catch (...) {
      ok = false;
    }
    if (!ok) report(what);
    return ok;
  }

  // Runs `procedure` unless it is running already; reports it as `what`
  // when it throws.
  template <typename Body>
  void run(Procedure procedure, std::string_view what, Body&& body) noexcept {
    const auto slot = static_cast<std::size_t>(procedure);
    if (running_.test(slot)) return;
    running_.set(slot);
    bool ok = true;
    try {
      std::forward<Body>(body)();
    } catch (...) {
      ok = false;
    }
    running_.reset(slot);
    if (!ok) report(what);
  }

  // The failure report itself; never throws.
  void report(std::string_view what) noexcept;

 private:
  vantrexo::FormServices& form_;
  std::bitset<kProcedureCount> running_;
};

}  // namespace dravel

#endif  // COMMON_GUARDED_CALL_H_
