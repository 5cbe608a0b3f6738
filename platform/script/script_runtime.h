// The scripted form runtime: runs a form program without a display. It builds
// the form from its module description, takes the operator's actions from a
// script (one command a line) and writes a transcript, one line per thing the
// operator would have seen. dravel-script is a thin main over this class;
// tests run it in-process on string streams.
//
// Script commands:
//   type TEXT          the focused text box's text becomes TEXT (UTF-8, cut
//                      to the box's maximum length); nothing on a button
//   type "TEXT"        the same with TEXT quoted as the transcript quotes
//                      texts: \\ a backslash, \" a double quote, \xHH the
//                      Windows-1252 byte HH (any byte: NUL, TAB, CR, LF, ESC,
//                      0x80-0xFF); leading and trailing spaces are kept
//   key CODE [SHIFT]   a key-down on the form (Windows key code, modifier
//                      state 1 Shift, 2 Ctrl, 4 Alt); afterwards the code left
//                      in the key block acts: 9 moves the focus to the next
//                      tab stop (with Shift to the previous), 13 or 32 on a
//                      focused command button clicks it
//   click CONTROL      a mouse click: a tab stop without the focus gets it
//                      first (lost focus, got focus), then the click event;
//                      disabled controls take no click
//   answer N ...       answers (6 Yes, 7 No) for the next Yes/No boxes
//   lookup CODE|none|fail
//                      what the lookup component does at the next call of
//                      its form: leave CODE in LK-CODIGO, leave LK-CODIGO
//                      alone, or fail to load
//   close              the operator closes the form; so does end of input
// Empty lines and lines starting with '#' are ignored.
//
// Transcript lines (texts as UTF-8, trailing spaces removed; '"' and '\'
// escaped with a backslash, and control bytes (0x00-0x1F, 0x7F and the five
// bytes Windows-1252 leaves undefined) as \xHH, so that a quoted text is
// also a `type "TEXT"` argument):
//   focus CONTROL, text CONTROL "TEXT", caption CONTROL "TEXT",
//   refresh CONTROL, msgbox STYLE "TEXT" -> ANSWER, call "FORM" "MODULE",
//   failure REASON "WHAT", close
//
// Focus events are raised only for focus moves inside the form. A focus move
// the program asks for (set focus) is shown at once and its lost-focus and
// got-focus events follow when the current event has finished; so does the
// form-closed event after the program's close. An OK box is answered 1; a
// Yes/No box with no answer queued stops the run (exit status 3): the box
// fails as if answered No, every later form call fails silently, and no
// further event is raised.
//
// Threading: one thread; the runtime and the program it drives run on the
// thread that calls run().
#ifndef PLATFORM_SCRIPT_SCRIPT_RUNTIME_H_
#define PLATFORM_SCRIPT_SCRIPT_RUNTIME_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/form/form_services.h"
#include "platform/form/module_description.h"
#include "platform/script/lookup_stand_in.h"
#include "platform/shared_areas.h"

namespace vantrexo::script {

// Exit statuses of a run.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitScriptError = 2;
inline constexpr int kExitNoAnswer = 3;

class ScriptRuntime final : public FormServices {
 public:
  // `transcript` gets the transcript, `diagnostics` the failure reports and
  // the reasons a run stopped. All must outlive the runtime.
  ScriptRuntime(const ModuleDescription& module, SharedAreaRegistry& areas,
                std::ostream& transcript, std::ostream& diagnostics);
  ScriptRuntime(const ScriptRuntime&) = delete;
  ScriptRuntime& operator=(const ScriptRuntime&) = delete;

  // Opens the form, runs the script against the program's routing entry and
  // returns the exit status. Call once.
  int run(const RoutingEntry& entry, std::istream& script);

  // What the form shows now (Windows-1252, as last set).
  std::string text_of(std::string_view control) const;
  // The name of the control with the focus, empty when none.
  std::string_view focused() const;

  // FormServices.
  bool key_event_fill(const EventParams& params, KeyEventBlock& block) override;
  bool key_event_copy_back(EventParams& params, const KeyEventBlock& block,
                           CopyBackArea& copy_back) override;
  bool get_text(ObjectRef control, std::span<char, kControlTextWidth> text) override;
  bool set_text(ObjectRef control, std::span<const char, kControlTextWidth> text) override;
  bool invoke_by_id(Invocation& call) override;
  void report_failure(int reason, std::string_view what) override;

 private:
  struct Control {
    const ControlDescription* description;
    std::string text;  // Windows-1252; caption of buttons and frames
    bool enabled;      // its own state and that of every container
  };
  struct PendingEvent {
    std::size_t control;
    std::int32_t event;
  };
  class ScriptError;

  // Script commands; each throws ScriptError on a line it cannot read.
  void run_line(std::string_view line);
  void do_type(std::string_view text);
  void do_key(std::string_view arguments);
  void do_click(std::string_view name);
  void do_answer(std::string_view arguments);
  void do_lookup(std::string_view argument);

  // Raises an event outside any other and then whatever it left pending:
  // focus events asked for inside it, then the close.
  void raise(std::size_t control, std::int32_t event, EventParams* params = nullptr,
             CopyBackArea* copy_back = nullptr, KeyEventBlock* block = nullptr);
  void route(std::size_t control, std::int32_t event, EventParams* params, CopyBackArea* copy_back,
             KeyEventBlock* block);
  // Moves the focus inside the form and raises lost focus then got focus.
  void move_focus(std::size_t to);
  // The form goes away: the close line, then the form-closed event.
  void close_form();
  bool ended() const { return closed_ || stopped_; }

  bool message_box(Invocation& call);
  bool call_form(Invocation& call);
  bool set_focus(std::size_t control);

  std::optional<std::size_t> find(ObjectRef object) const;
  std::optional<std::size_t> find(std::string_view name) const;
  bool focusable(std::size_t control) const;
  std::optional<std::size_t> next_tab_stop(std::size_t from, bool backwards) const;
  std::string_view name(std::size_t control) const;
  void line(std::string_view text);
  static std::string quoted(std::string_view cp1252);
  // The Windows-1252 bytes of a quoted text ("..." with \\, \" and \xHH),
  // nothing when it is malformed.
  static std::optional<std::string> unquoted(std::string_view text);

  const ModuleDescription& module_;
  SharedAreaRegistry& areas_;
  std::ostream& transcript_;
  std::ostream& diagnostics_;
  ObjectTable objects_;
  const RoutingEntry* entry_ = nullptr;

  std::vector<Control> controls_;  // [0] is the form
  std::vector<std::size_t> tab_order_;
  std::optional<std::size_t> focus_;
  std::deque<std::int32_t> answers_;
  LookupStandIn lookup_;
  std::size_t line_number_ = 0;

  int depth_ = 0;  // routing calls under way
  std::deque<PendingEvent> pending_;
  bool close_requested_ = false;
  bool closing_ = false;  // the form-closed event is under way
  bool closed_ = false;
  bool stopped_ = false;  // a Yes/No box found no answer
};

}  // namespace vantrexo::script

#endif  // PLATFORM_SCRIPT_SCRIPT_RUNTIME_H_
