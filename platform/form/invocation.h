// How a form runtime reads what a program asks of it through invoke_by_id:
// which request an invocation makes, once the shape of its arguments has
// been checked, and the texts of those arguments without their filling.
// Every runtime reads invocations through here, so all of them accept and
// refuse exactly the same calls.
#ifndef PLATFORM_FORM_INVOCATION_H_
#define PLATFORM_FORM_INVOCATION_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/form/form_services.h"

namespace vantrexo {

enum class FormRequest { close_form, message_box, call_form, set_focus, caption, refresh };

// The request `call` makes of its object (`on_form`: the form itself, whose
// methods close, message box and call form a control does not have); nothing
// for a member no runtime offers, or arguments of another number or type.
std::optional<FormRequest> form_request(const Invocation& call, bool on_form);

// A text without the spaces that fill it out on the right.
std::string_view trim_right(std::string_view text);

// Stores `value` in the call's result slot when the call asks for an integer.
void set_result(Invocation& call, std::int32_t value);

}  // namespace vantrexo

#endif  // PLATFORM_FORM_INVOCATION_H_
