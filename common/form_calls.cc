#include "common/form_calls.h"

#include <algorithm>
#include <string>
#include <utility>

#include "common/form_ids.h"

namespace dravel {
namespace {

using vantrexo::Invocation;
using vantrexo::InvokeArgument;
using vantrexo::InvokeKind;

InvokeArgument text_argument(std::uint32_t type, std::string_view text) {
  InvokeArgument a;
  a.type = type;
  a.text.assign(vantrexo::kArgumentTextWidth, ' ');
  std::copy_n(text.begin(), std::min(text.size(), vantrexo::kArgumentTextWidth), a.text.begin());
  return a;
}

InvokeArgument integer_argument(std::int32_t value) {
  InvokeArgument a;
  a.type = vantrexo::arg_type::integer;
  a.integer = value;
  return a;
}

// An invocation of `member` on `object`; with a result slot, a 32-bit
// integer result is asked for.
Invocation invocation(vantrexo::ObjectRef object, std::int64_t member, InvokeKind kind,
                      std::int32_t* result = nullptr) {
  Invocation call;
  call.object = object;
  call.member = member;
  call.kind = kind;
  if (result != nullptr) {
    call.result_type = vantrexo::kResultInteger;
    call.result = result;
  }
  return call;
}

}  // namespace

std::string FormCalls::describe(std::string_view operation, std::size_t position) const {
  std::string what(operation);
  what += ' ';
  what += module_.name_at(position);
  return what;
}

vantrexo::ObjectRef FormCalls::object(std::size_t position) const {
  return position < objects_.size() ? objects_[position] : vantrexo::kNoObject;
}

ControlText FormCalls::get_text(std::size_t position) {
  ControlText text;  // spaces: what a failed call leaves
  const bool ok = guard_.call(describe("get_text", position),
                              [&] { return services_.get_text(object(position), text.span()); });
  if (!ok) text.clear();
  return text;
}

void FormCalls::set_text(std::size_t position, const ControlText& text) {
  guard_.call(describe("set_text", position),
              [&] { return services_.set_text(object(position), text.span()); });
}

std::int32_t FormCalls::message_box(std::string_view text, std::int32_t style, bool result_taken) {
  std::int32_t result = 0;
  Invocation call = invocation(object(table::form), vantrexo::member_id::message_box,
                               InvokeKind::method, &result);
  call.result_taken = result_taken ? 2 : 0;
  call.arguments.push_back(text_argument(vantrexo::arg_type::text_first, text));
  call.arguments.push_back(integer_argument(style));
  const bool ok = guard_.call("message box", [&] { return services_.invoke_by_id(call); });
  if (!ok && result_taken) return box::no;
  return result;
}

void FormCalls::close_form() {
  std::int32_t result = 0;
  Invocation call =
      invocation(object(table::form), vantrexo::member_id::close_form, InvokeKind::method, &result);
  guard_.call("close form", [&] { return services_.invoke_by_id(call); });
}

void FormCalls::call_form(std::string_view form_name, std::string_view module_file) {
  std::int32_t result = 0;
  Invocation call =
      invocation(object(table::form), vantrexo::member_id::call_form, InvokeKind::method, &result);
  call.arguments.push_back(text_argument(vantrexo::arg_type::text_first, form_name));
  call.arguments.push_back(text_argument(vantrexo::arg_type::text_second, module_file));
  std::string what = "call form ";
  what += form_name;
  guard_.call(what, [&] { return services_.invoke_by_id(call); });
}

void FormCalls::set_focus(std::size_t position) {
  Invocation call =
      invocation(object(position), vantrexo::member_id::set_focus, InvokeKind::method);
  guard_.call(describe("set focus", position), [&] { return services_.invoke_by_id(call); });
}

void FormCalls::set_caption(std::size_t position, std::string_view text) {
  Invocation call =
      invocation(object(position), vantrexo::member_id::caption, InvokeKind::property_put);
  call.arguments.push_back(text_argument(vantrexo::arg_type::text_first, text));
  guard_.call(describe("caption", position), [&] { return services_.invoke_by_id(call); });
}

void FormCalls::refresh(std::size_t position) {
  Invocation call = invocation(object(position), vantrexo::member_id::refresh, InvokeKind::method);
  guard_.call(describe("refresh", position), [&] { return services_.invoke_by_id(call); });
}

}  // namespace dravel
