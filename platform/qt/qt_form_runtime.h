// The Qt form runtime: runs a form program in a window. It builds the form
// from its module description with Qt Widgets, delivers the events of the
// form and its controls to the program's routing entry and carries out what
// the program asks of the form. The scripted runtime (platform/script) is the
// other runtime of the same interface and behaves the same way:
//
// - Focus events are raised only for focus moves inside the form, not when a
//   box, the lookup form or another window takes or gives back activation.
//   A focus move the program asks for (set focus) happens at once and its
//   lost-focus and got-focus events follow when the current event has
//   finished; so does the form-closed event after the program's close.
// - A key pressed in any control is first a key-down of the form; the key
//   code the program leaves then acts: 9 moves to the next tab stop (with
//   Shift the previous), 13 on a focused command button clicks it, an
//   unchanged code is the control's own, another code is dropped.
// - While a routing call runs, the window still paints (a refresh lets paint
//   and expose requests through), but input aimed at it is dropped, never
//   held back for later: a click during a run does not start the next one.
//   Closing the window is refused until the run has finished.
// - Boxes answer 1 (OK), 6 (Yes) and 7 (No); their title is the form's.
//
// Threading: the GUI thread of a QApplication that prepare_application()
// has set up; the program runs on it, one event at a time.
#ifndef PLATFORM_QT_QT_FORM_RUNTIME_H_
#define PLATFORM_QT_QT_FORM_RUNTIME_H_

#include <QPointer>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/form/form_services.h"
#include "platform/form/module_description.h"

class QEventLoop;
class QObject;
class QWidget;

namespace vantrexo::qt {

// Runs the form `form_name` of another module, modal over `parent`; returns
// an error text when it cannot, nothing when the form ran and was closed.
using CallFormHandler = std::function<std::optional<std::string>(
    std::string_view form_name, std::string_view module_file, QWidget* parent)>;

// The handler until a module loader is given: every module is missing.
std::optional<std::string> no_modules(std::string_view form_name, std::string_view module_file,
                                      QWidget* parent);

class QtFormRuntime final : public FormServices {
 public:
  // `diagnostics` receives the failure reports. Builds the form, not shown.
  QtFormRuntime(const ModuleDescription& module, std::ostream& diagnostics);
  ~QtFormRuntime() override;
  QtFormRuntime(const QtFormRuntime&) = delete;
  QtFormRuntime& operator=(const QtFormRuntime&) = delete;

  void set_call_form_handler(CallFormHandler handler);

  // Shows the form with the focus in its first tab stop and raises the
  // form-opened event; the form then lives on in the application's event
  // loop. Call once; `entry` must outlive the form.
  void open(const RoutingEntry& entry);
  // open(), then runs the event loop until the form has ended. Returns the
  // runner's result, 0.
  int run(const RoutingEntry& entry);
  bool closed() const { return closed_; }

  // The window and its controls by the designer's names (tests, screenshot).
  QWidget* window() const;
  QWidget* widget(std::string_view control_name) const;
  // What a control shows now: text, caption or title (Windows-1252).
  std::string text_of(std::string_view control_name) const;
  // The control with the focus as the form counts it, empty when none.
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
  class FormWindow;
  class InputGuard;
  struct Control {
    const ControlDescription* description;
    QPointer<QWidget> widget;
  };
  struct PendingEvent {
    std::size_t control;
    std::int32_t event;
  };

  void build();
  QWidget* build_control(const ControlDescription& d, QWidget* parent);
  QWidget* container_of(const ControlDescription& d) const;

  // Events: raise() routes one event and then what it left pending.
  void raise(std::size_t control, std::int32_t event, EventParams* params = nullptr,
             CopyBackArea* copy_back = nullptr, KeyEventBlock* block = nullptr);
  void route(std::size_t control, std::int32_t event, EventParams* params, CopyBackArea* copy_back,
             KeyEventBlock* block);
  bool key_pressed(int key, int modifiers);
  void focus_arrived(QWidget* now);
  void move_focus(std::size_t to, int reason);
  void close_form();
  bool close_requested_by_operator();
  bool busy() const { return depth_ > 0; }

  bool message_box(Invocation& call);
  bool call_form(Invocation& call);
  bool set_focus(std::size_t control);
  bool put_caption(std::size_t control, std::string_view cp1252);
  void refresh(std::size_t control);

  std::optional<std::size_t> find(ObjectRef object) const;
  std::optional<std::size_t> find(std::string_view name) const;
  std::optional<std::size_t> find(const QObject* widget) const;
  bool focusable(std::size_t control) const;
  std::optional<std::size_t> next_tab_stop(std::size_t from, bool backwards) const;
  QString form_title() const;

  const ModuleDescription& module_;
  std::ostream& diagnostics_;
  ObjectTable objects_;
  const RoutingEntry* entry_ = nullptr;
  CallFormHandler call_form_handler_ = no_modules;

  std::unique_ptr<FormWindow> window_;
  std::unique_ptr<InputGuard> guard_;
  std::vector<Control> controls_;  // [0] is the form
  std::vector<std::size_t> tab_order_;
  std::optional<std::size_t> focus_;
  std::string last_error_;  // why the last service failed, for its report

  int depth_ = 0;  // routing calls under way
  std::deque<PendingEvent> pending_;
  bool close_requested_ = false;
  bool closing_ = false;  // the form-closed event is under way
  bool closed_ = false;
  QEventLoop* loop_ = nullptr;
  std::chrono::steady_clock::time_point last_pump_{};
};

}  // namespace vantrexo::qt

#endif  // PLATFORM_QT_QT_FORM_RUNTIME_H_
