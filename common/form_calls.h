// The form operations the procedures use, on the objects of the event being
// handled. One FormCalls is made per routing call over that call's object
// table and dropped when the call returns. Every operation is a guarded call:
// a failure is reported with reason 16 and the operation returns as if it had
// done nothing, so the procedure goes on with its next step.
//
// Threading: the user-interface thread only.
#ifndef COMMON_FORM_CALLS_H_
#define COMMON_FORM_CALLS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/guarded_call.h"
#include "platform/form/form_services.h"
#include "platform/form/module_description.h"
#include "platform/text/fixed_text.h"

namespace dravel {

using ControlText = vantrexo::FixedText<vantrexo::kControlTextWidth>;

// Windows message-box styles and button identifiers used by the program.
namespace box {
inline constexpr std::int32_t stop_ok = 16;
inline constexpr std::int32_t question_yes_no = 36;
inline constexpr std::int32_t exclamation_ok = 48;
inline constexpr std::int32_t ok = 1;
inline constexpr std::int32_t yes = 6;
inline constexpr std::int32_t no = 7;
}  // namespace box

class FormCalls {
 public:
  // `module` names the objects in failure reports.
  FormCalls(vantrexo::FormServices& services, GuardedCalls& guard,
            const vantrexo::ModuleDescription& module, const vantrexo::ObjectTable& objects)
      : services_(services), guard_(guard), module_(module), objects_(objects) {}
  FormCalls(const FormCalls&) = delete;
  FormCalls& operator=(const FormCalls&) = delete;

  GuardedCalls& guard() { return guard_; }

  // The text of the control at that table position, filled out with spaces
  // to 256 characters; all spaces when the call fails.
  ControlText get_text(std::size_t position);
  void set_text(std::size_t position, const ControlText& text);

  // The form's message box with the 120 characters of `text` and `style`.
  // Returns the button chosen. `result_taken` marks the one box whose answer
  // the program uses; when that call fails the answer counts as No, so that a
  // broken box can never keep a caller asking again and again.
  std::int32_t message_box(std::string_view text, std::int32_t style, bool result_taken);
  void close_form();
  // Runs the form `form_name` of the module file `module_file` modally.
  void call_form(std::string_view form_name, std::string_view module_file);
  void set_focus(std::size_t position);
  // Property put of the caption, the text filled out with spaces.
  void set_caption(std::size_t position, std::string_view text);
  void refresh(std::size_t position);

 private:
  vantrexo::ObjectRef object(std::size_t position) const;
  std::string describe(std::string_view operation, std::size_t position) const;

  vantrexo::FormServices& services_;
  GuardedCalls& guard_;
  const vantrexo::ModuleDescription& module_;
  const vantrexo::ObjectTable& objects_;
};

}  // namespace dravel

#endif  // COMMON_FORM_CALLS_H_
