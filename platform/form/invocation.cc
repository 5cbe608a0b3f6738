#include "platform/form/invocation.h"

#include <vector>

namespace vantrexo {
namespace {

bool is_text(const InvokeArgument& a) {
  return a.type == arg_type::text_first || a.type == arg_type::text_second;
}

}  // namespace

std::optional<FormRequest> form_request(const Invocation& call, bool on_form) {
  const bool method = call.kind == InvokeKind::method;
  const std::vector<InvokeArgument>& args = call.arguments;
  switch (call.member) {
    case member_id::close_form:
      if (on_form && method && args.empty()) return FormRequest::close_form;
      break;
    case member_id::message_box:
      if (on_form && method && args.size() == 2 && is_text(args[0]) &&
          args[1].type == arg_type::integer) {
        return FormRequest::message_box;
      }
      break;
    case member_id::call_form:
      if (on_form && method && args.size() == 2 && is_text(args[0]) && is_text(args[1])) {
        return FormRequest::call_form;
      }
      break;
    case member_id::set_focus:
      if (method && args.empty()) return FormRequest::set_focus;
      break;
    case member_id::caption:
      if (call.kind == InvokeKind::property_put && args.size() == 1 && is_text(args[0])) {
        return FormRequest::caption;
      }
      break;
    case member_id::refresh:
      if (method && args.empty()) return FormRequest::refresh;
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::string_view trim_right(std::string_view text) {
  const auto end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

void set_result(Invocation& call, std::int32_t value) {
  if (call.result != nullptr && call.result_type == kResultInteger) *call.result = value;
}

}  // namespace vantrexo
