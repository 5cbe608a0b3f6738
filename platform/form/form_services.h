// What a form program needs of the form runtime, and how the runtime calls
// the program. Two runtimes implement it: the Qt window and the scripted
// runtime behind dravel-script. Nothing here depends on a toolkit.
//
// Threading: everything runs on the runtime's one user-interface thread, one
// event at a time. Modal calls (message box, call form) return only when the
// operator has closed what they opened.
#ifndef PLATFORM_FORM_FORM_SERVICES_H_
#define PLATFORM_FORM_FORM_SERVICES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrexo {

// A runtime's handle of one object of the form (the form or a control).
using ObjectRef = std::uint32_t;
inline constexpr ObjectRef kNoObject = 0;

// The routing entry's first argument: one reference per object position.
inline constexpr std::size_t kObjectTableSize = 12;
using ObjectTable = std::array<ObjectRef, kObjectTableSize>;

namespace event_id {
inline constexpr std::int32_t form_opened = 0x07000100;
inline constexpr std::int32_t form_closed = 0x07000101;
inline constexpr std::int32_t form_key_down = 0x07000105;
inline constexpr std::int32_t got_focus = static_cast<std::int32_t>(0x80013000u);
inline constexpr std::int32_t lost_focus = static_cast<std::int32_t>(0x80013001u);
inline constexpr std::int32_t click = -600;
}  // namespace event_id

namespace member_id {
inline constexpr std::int64_t close_form = 0x07000201;
inline constexpr std::int64_t message_box = 0x07000202;
inline constexpr std::int64_t call_form = 0x07000212;
// Sign-extended from the 32-bit dispatch id.
inline constexpr std::int64_t set_focus = static_cast<std::int32_t>(0x80012000u);
inline constexpr std::int64_t caption = -518;
inline constexpr std::int64_t refresh = -550;
}  // namespace member_id

enum class InvokeKind : std::uint16_t { method = 1, property_put = 4 };

namespace arg_type {
inline constexpr std::uint32_t text_first = 0x02014008;
inline constexpr std::uint32_t text_second = 0x03014008;
inline constexpr std::uint32_t integer = 0x03014003;
}  // namespace arg_type

inline constexpr std::uint16_t kResultInteger = 0x4003;
inline constexpr std::uint16_t kResultNone = 0;
inline constexpr std::size_t kControlTextWidth = 256;
inline constexpr std::size_t kArgumentTextWidth = 8192;

struct InvokeArgument {
  std::uint32_t type = 0;
  std::string text;          // text arguments: kArgumentTextWidth characters, space-filled
  std::int32_t integer = 0;  // integer arguments
};

struct Invocation {
  ObjectRef object = kNoObject;
  std::int64_t member = 0;
  InvokeKind kind = InvokeKind::method;
  std::uint16_t result_type = kResultNone;
  std::int32_t* result = nullptr;  // result slot, or none
  std::int32_t result_taken = 0;   // 2 where the caller uses the result
  std::vector<InvokeArgument> arguments;
};

// The key-down event's own parameters, as the runtime keeps them.
struct EventParams {
  std::int16_t key_code = 0;
  std::int16_t shift = 0;
};
// Where the runtime takes back what a procedure changed.
struct CopyBackArea {
  std::int16_t key_code = 0;
  std::int16_t shift = 0;
  bool filled = false;
};
// The key event block handed to the key-down procedure.
struct KeyEventBlock {
  std::int16_t key_code = 0;
  std::int16_t shift = 0;
  std::array<std::int32_t, 4> descriptor{};
};
inline constexpr std::array<std::int32_t, 4> kKeyBlockDescriptor = {4, 2, 0x02000002, 0x02030002};

// Services of the runtime. Each returns false when the runtime marks the
// call as failed; the caller then reports the failure and goes on.
class FormServices {
 public:
  virtual ~FormServices() = default;

  virtual bool key_event_fill(const EventParams& params, KeyEventBlock& block) = 0;
  virtual bool key_event_copy_back(EventParams& params, const KeyEventBlock& block,
                                   CopyBackArea& copy_back) = 0;
  // The control's text, filled out with spaces to 256 characters.
  virtual bool get_text(ObjectRef control, std::span<char, kControlTextWidth> text) = 0;
  virtual bool set_text(ObjectRef control, std::span<const char, kControlTextWidth> text) = 0;
  virtual bool invoke_by_id(Invocation& call) = 0;

  // The failure report after a guarded call that failed: one line on
  // stderr; the run goes on.
  virtual void report_failure(int reason, std::string_view what) = 0;
};

// The routing entry of a form program, as the runtime calls it.
using RoutingEntry =
    std::function<void(const ObjectTable& objects, std::int32_t object_id, std::int32_t event_id,
                       EventParams* params, CopyBackArea* copy_back, KeyEventBlock* block)>;

}  // namespace vantrexo

#endif  // PLATFORM_FORM_FORM_SERVICES_H_
