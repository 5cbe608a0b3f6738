// A form runtime for tests, without any display: records every call the
// program makes, keeps the controls' texts, answers Yes/No boxes from a queue
// (an OK box is answered 1), and can be told to fail or throw on chosen
// operations.
//
// Each call is recorded with a key naming the operation and its object
// ("get_text Ed_CODIMAR", "message box", "caption Frm_Dsp", ...) and a
// transcript line as an operator would see it ("msgbox 48 \"...\" -> 1",
// "text Ds_MAR \"...\"", "caption Frm_Dsp \"\"", "refresh Frm_Dsp",
// "focus Ed_CODIMAR", "call \"FORM\" \"MODULE\"", "close", "failure 16 \"...\"").
// Texts stay Windows-1252, trailing spaces removed.
#ifndef COMMON_RECORDING_FORM_H_
#define COMMON_RECORDING_FORM_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/form_ids.h"
#include "platform/form/form_services.h"

namespace dravel::testing {

// The object table the tests route with: each position holds the object id.
inline vantrexo::ObjectTable test_objects() {
  vantrexo::ObjectTable t{};
  t[table::form] = static_cast<vantrexo::ObjectRef>(ids::form);
  t[table::frm_chave1] = static_cast<vantrexo::ObjectRef>(ids::frm_chave1);
  t[table::image1] = static_cast<vantrexo::ObjectRef>(ids::image1);
  t[table::static66] = static_cast<vantrexo::ObjectRef>(ids::static66);
  t[table::ed_codimar] = static_cast<vantrexo::ObjectRef>(ids::ed_codimar);
  t[table::command1] = static_cast<vantrexo::ObjectRef>(ids::command1);
  t[table::ds_mar] = static_cast<vantrexo::ObjectRef>(ids::ds_mar);
  t[table::frame7] = static_cast<vantrexo::ObjectRef>(ids::frame7);
  t[table::bt_exc] = static_cast<vantrexo::ObjectRef>(ids::bt_exc);
  t[table::frm_dsp] = static_cast<vantrexo::ObjectRef>(ids::frm_dsp);
  return t;
}

inline std::string control_name(vantrexo::ObjectRef object) {
  switch (static_cast<std::int32_t>(object)) {
    case ids::form:
      return "DRAVEL_MARKS";
    case ids::bt_exc:
      return "Bt_EXC";
    case ids::ed_codimar:
      return "Ed_CODIMAR";
    case ids::command1:
      return "Command1";
    case ids::ds_mar:
      return "Ds_MAR";
    case ids::frm_dsp:
      return "Frm_Dsp";
    default:
      return "object " + std::to_string(object);
  }
}

inline std::string trim_right(std::string_view s) {
  const auto end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

struct RecordedCall {
  std::string key;                  // operation and object, as failures are chosen by
  std::string line;                 // the transcript line; empty for calls an operator does not see
  vantrexo::Invocation invocation;  // for invoke_by_id (the result slot is not kept)
  std::string text;                 // full text passed to set_text, or returned by get_text
};

class RecordingForm : public vantrexo::FormServices {
 public:
  std::vector<RecordedCall> calls;
  // Answers for Yes/No boxes, first first. An empty queue answers No and
  // counts the box in `unanswered`.
  std::deque<std::int32_t> answers;
  int unanswered = 0;
  // Calls whose key is here fail (the runtime marks them failed); the value
  // is how many more times, -1 for always.
  std::map<std::string, int> failing;
  // Calls whose key is here throw.
  std::map<std::string, int> throwing;
  // Called after every recorded call (a test can change the world there:
  // release a lock, write L-LINK as the lookup component).
  std::function<void(const RecordedCall&)> after_call;

  // The controls' texts, 256 characters each.
  std::string text_of(std::int32_t object_id) const {
    auto it = texts_.find(static_cast<vantrexo::ObjectRef>(object_id));
    return it == texts_.end() ? std::string(vantrexo::kControlTextWidth, ' ') : it->second;
  }
  void type_into(std::int32_t object_id, std::string_view text) {
    std::string t(vantrexo::kControlTextWidth, ' ');
    std::copy_n(text.begin(), std::min(text.size(), t.size()), t.begin());
    texts_[static_cast<vantrexo::ObjectRef>(object_id)] = t;
  }

  // The transcript lines, in order.
  std::vector<std::string> transcript() const {
    std::vector<std::string> lines;
    for (const auto& c : calls) {
      if (!c.line.empty()) lines.push_back(c.line);
    }
    return lines;
  }
  std::vector<std::string> keys() const {
    std::vector<std::string> k;
    for (const auto& c : calls) k.push_back(c.key);
    return k;
  }
  std::vector<const RecordedCall*> with_key(std::string_view key) const {
    std::vector<const RecordedCall*> found;
    for (const auto& c : calls) {
      if (c.key == key) found.push_back(&c);
    }
    return found;
  }
  void clear() { calls.clear(); }

  bool key_event_fill(const vantrexo::EventParams& params,
                      vantrexo::KeyEventBlock& block) override {
    if (!begin("key event fill")) return finish({"key event fill", "", {}, {}}, false);
    block.key_code = params.key_code;
    block.shift = params.shift;
    fill_descriptor = block.descriptor;
    return finish({"key event fill", "", {}, {}}, true);
  }

  bool key_event_copy_back(vantrexo::EventParams& params, const vantrexo::KeyEventBlock& block,
                           vantrexo::CopyBackArea& copy_back) override {
    if (!begin("key event copy back")) return finish({"key event copy back", "", {}, {}}, false);
    params.key_code = block.key_code;
    params.shift = block.shift;
    copy_back.key_code = block.key_code;
    copy_back.shift = block.shift;
    copy_back.filled = true;
    return finish({"key event copy back", "", {}, {}}, true);
  }

  bool get_text(vantrexo::ObjectRef control,
                std::span<char, vantrexo::kControlTextWidth> text) override {
    const std::string key = "get_text " + control_name(control);
    if (!begin(key)) return finish({key, "", {}, {}}, false);
    const std::string t = text_of(static_cast<std::int32_t>(control));
    std::copy(t.begin(), t.end(), text.begin());
    return finish({key, "", {}, t}, true);
  }

  bool set_text(vantrexo::ObjectRef control,
                std::span<const char, vantrexo::kControlTextWidth> text) override {
    const std::string key = "set_text " + control_name(control);
    const std::string t(text.begin(), text.end());
    if (!begin(key)) {
      return finish({key, "text " + control_name(control) + " (failed)", {}, t}, false);
    }
    texts_[control] = t;
    return finish({key, "text " + control_name(control) + " \"" + trim_right(t) + "\"", {}, t},
                  true);
  }

  bool invoke_by_id(vantrexo::Invocation& call) override {
    RecordedCall rec;
    rec.invocation = call;
    rec.invocation.result = nullptr;
    std::int32_t answer = 0;
    const std::string first_text =
        call.arguments.empty() ? std::string() : trim_right(call.arguments[0].text);
    switch (call.member) {
      case vantrexo::member_id::message_box: {
        rec.key = "message box";
        const std::int32_t style = call.arguments.size() > 1 ? call.arguments[1].integer : -1;
        if (style == 36) {
          if (answers.empty()) {
            ++unanswered;
            answer = 7;
          } else {
            answer = answers.front();
            answers.pop_front();
          }
        } else {
          answer = 1;
        }
        rec.line = "msgbox " + std::to_string(style) + " \"" + first_text + "\" -> " +
                   std::to_string(answer);
        break;
      }
      case vantrexo::member_id::close_form:
        rec.key = "close form";
        rec.line = "close";
        break;
      case vantrexo::member_id::call_form:
        rec.key = "call form";
        rec.line = "call \"" + first_text + "\" \"" +
                   (call.arguments.size() > 1 ? trim_right(call.arguments[1].text) : "") + "\"";
        break;
      case vantrexo::member_id::set_focus:
        rec.key = "set focus " + control_name(call.object);
        rec.line = "focus " + control_name(call.object);
        break;
      case vantrexo::member_id::caption:
        rec.key = "caption " + control_name(call.object);
        rec.line = "caption " + control_name(call.object) + " \"" + first_text + "\"";
        break;
      case vantrexo::member_id::refresh:
        rec.key = "refresh " + control_name(call.object);
        rec.line = "refresh " + control_name(call.object);
        break;
      default:
        rec.key = "member " + std::to_string(call.member);
        break;
    }
    if (!begin(rec.key)) {
      rec.line += " (failed)";
      return finish(std::move(rec), false);
    }
    if (call.result != nullptr) *call.result = answer;
    return finish(std::move(rec), true);
  }

  void report_failure(int reason, std::string_view what) override {
    calls.push_back({"failure",
                     "failure " + std::to_string(reason) + " \"" + std::string(what) + "\"",
                     {},
                     {}});
  }

  std::array<std::int32_t, 4> fill_descriptor{};

 private:
  // False when the call is to fail; throws when it is to throw.
  bool begin(const std::string& key) {
    if (take(throwing, key)) throw std::runtime_error("runtime threw on " + key);
    return !take(failing, key);
  }
  static bool take(std::map<std::string, int>& m, const std::string& key) {
    auto it = m.find(key);
    if (it == m.end() || it->second == 0) return false;
    if (it->second > 0) --it->second;
    return true;
  }
  bool finish(RecordedCall rec, bool ok) {
    calls.push_back(std::move(rec));
    if (after_call) {
      const RecordedCall copy = calls.back();  // the hook may add calls
      after_call(copy);
    }
    return ok;
  }

  std::map<vantrexo::ObjectRef, std::string> texts_;
};

}  // namespace dravel::testing

#endif  // COMMON_RECORDING_FORM_H_
