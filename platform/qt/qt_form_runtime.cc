#include "platform/qt/qt_form_runtime.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <cctype>
#include <ostream>

#include "platform/form/invocation.h"
#include "platform/qt/application_setup.h"
#include "platform/qt/form_widgets.h"
#include "platform/qt/key_codes.h"
#include "platform/qt/message_boxes.h"
#include "platform/text/cp1252.h"

namespace vantrexo::qt {
namespace {

// How often a refresh lets the window answer paint and expose requests.
constexpr auto kPumpInterval = std::chrono::milliseconds(20);

QString to_qt(std::string_view cp1252) { return QString::fromStdString(cp1252_to_utf8(cp1252)); }

bool is_input(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> no_modules(std::string_view, std::string_view module_file, QWidget*) {
  std::string file(module_file);
  // The system's module files are DLLs; ours are shared objects.
  if (file.size() > 4) {
    std::string ext = file.substr(file.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".dll") file = file.substr(0, file.size() - 4) + ".so";
  }
  return "module " + file + " not found";
}

// The top-level window: the operator's close goes through the runtime.
class QtFormRuntime::FormWindow final : public QWidget {
 public:
  explicit FormWindow(QtFormRuntime& runtime) : runtime_(runtime) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (runtime_.close_requested_by_operator()) {
      event->accept();
    } else {
      event->ignore();
    }
  }

 private:
  QtFormRuntime& runtime_;
};

// Sees every event of the application before its receiver: keys pressed in
// the form's controls become key-down events of the form, and while a
// routing call runs, input aimed at the form is dropped.
class QtFormRuntime::InputGuard final : public QObject {
 public:
  explicit InputGuard(QtFormRuntime& runtime) : runtime_(runtime) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~InputGuard() override { QCoreApplication::instance()->removeEventFilter(this); }
  InputGuard(const InputGuard&) = delete;
  InputGuard& operator=(const InputGuard&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!is_input(event->type()) || !aimed_at_form(watched)) return false;
    if (runtime_.busy() || runtime_.closing_ || runtime_.closed_) return true;
    // A key the focused control leaves goes on to its containers: it is
    // the form's key-down once, when the control gets it.
    if (event->type() != QEvent::KeyPress || watched != QApplication::focusWidget()) return false;
    const auto control = runtime_.find(watched);
    if (!control) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return runtime_.key_pressed(key->key(), key->modifiers().toInt());
  }

 private:
  bool aimed_at_form(QObject* watched) const {
    QWidget* form = runtime_.window_.get();
    if (form == nullptr) return false;
    if (watched == form->windowHandle()) return true;
    const auto* w = qobject_cast<QWidget*>(watched);
    return w != nullptr && w->window() == form;
  }

  QtFormRuntime& runtime_;
};

QtFormRuntime::QtFormRuntime(const ModuleDescription& module, std::ostream& diagnostics)
    : module_(module), diagnostics_(diagnostics), objects_(module.object_table()) {
  build();
  guard_ = std::make_unique<InputGuard>(*this);
  QObject::connect(qApp, &QApplication::focusChanged, guard_.get(),
                   [this](QWidget*, QWidget* now) { focus_arrived(now); });
}

QtFormRuntime::~QtFormRuntime() = default;

void QtFormRuntime::set_call_form_handler(CallFormHandler handler) {
  call_form_handler_ = std::move(handler);
}

// --- Building the form -----------------------------------------------------

void QtFormRuntime::build() {
  const QPalette palette = form_palette();
  const ControlDescription& f = module_.form;
  window_ = std::make_unique<FormWindow>(*this);
  window_->setObjectName(QString::fromLatin1(f.name.data(), static_cast<int>(f.name.size())));
  window_->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
  window_->setWindowTitle(form_title());
  window_->setFixedSize(f.width, f.height);
  window_->move(f.x, f.y);
  window_->setFont(font_of(f.font));
  QPalette own = palette;
  own.setColor(QPalette::Window, colour_of(f.background, palette));
  own.setColor(QPalette::WindowText, colour_of(f.foreground, palette));
  window_->setPalette(own);
  window_->setAutoFillBackground(true);
  window_->setEnabled(f.enabled);
  controls_.push_back({&f, window_.get()});

  // Containers first: a control is built once its container is.
  std::vector<const ControlDescription*> left;
  for (const ControlDescription& c : module_.controls) left.push_back(&c);
  std::vector<std::pair<const ControlDescription*, QWidget*>> built;
  while (!left.empty()) {
    const std::size_t before = left.size();
    for (auto it = left.begin(); it != left.end();) {
      QWidget* parent = container_of(**it);
      if (parent == nullptr) {
        ++it;
        continue;
      }
      controls_.push_back({*it, build_control(**it, parent)});
      it = left.erase(it);
    }
    if (left.size() == before) {
      // A container that does not exist: such a control sits on the form.
      controls_.push_back({left.front(), build_control(*left.front(), window_.get())});
      left.erase(left.begin());
    }
  }
  // Back in the description's order, so that positions match find().
  std::stable_sort(controls_.begin() + 1, controls_.end(),
                   [this](const Control& a, const Control& b) {
                     return (a.description - module_.controls.data()) <
                            (b.description - module_.controls.data());
                   });

  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlDescription& d = *controls_[i].description;
    if (d.tab_stop && d.tab_index >= 0 && focusable(i)) tab_order_.push_back(i);
  }
  std::stable_sort(tab_order_.begin(), tab_order_.end(), [this](std::size_t a, std::size_t b) {
    return controls_[a].description->tab_index < controls_[b].description->tab_index;
  });
  for (std::size_t k = 1; k < tab_order_.size(); ++k) {
    QWidget::setTabOrder(controls_[tab_order_[k - 1]].widget, controls_[tab_order_[k]].widget);
  }
}

QWidget* QtFormRuntime::container_of(const ControlDescription& d) const {
  if (d.container == 0 || d.container == module_.form.object_id) return window_.get();
  for (const Control& c : controls_) {
    if (c.description->object_id == d.container) return c.widget;
  }
  return nullptr;
}

QWidget* QtFormRuntime::build_control(const ControlDescription& d, QWidget* parent) {
  const QPalette palette = form_palette();
  const QColor foreground = colour_of(d.foreground, palette);
  const QColor background = colour_of(d.background, palette);
  const QString text = to_qt(d.text);
  const QString picture = picture_resource(d.picture);
  // A picture is named in any letter case; the module lists it in capitals.
  QSize picture_size(d.width, d.height);
  for (const PictureResource& p : module_.pictures) {
    if (QString::fromLatin1(p.name.data(), static_cast<int>(p.name.size()))
            .compare(QString::fromLatin1(d.picture.data(), static_cast<int>(d.picture.size())),
                     Qt::CaseInsensitive) == 0) {
      picture_size = QSize(p.width, p.height);
    }
  }
  const Qt::FocusPolicy focus = d.tab_stop ? Qt::StrongFocus : Qt::ClickFocus;

  QWidget* w = nullptr;
  switch (d.kind) {
    case ControlKind::command_button: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);
      button->setFocusPolicy(focus);
      if (!picture.isEmpty()) {
        const Colour& key = module_.picture_transparent_colour;
        button->setIcon(picture_icon(picture, picture_size, colour_of(key, palette)));
        button->setIconSize(picture_size);
      }
      QPalette own = palette;
      own.setColor(QPalette::Button, background);
      own.setColor(QPalette::ButtonText, foreground);
      button->setPalette(own);
      QObject::connect(button, &QAbstractButton::clicked, button, [this, button] {
        if (const auto i = find(button); i && !busy()) raise(*i, event_id::click);
      });
      w = button;
      break;
    }
    case ControlKind::text_box: {
      auto* edit = new QLineEdit(parent);
      if (d.max_length > 0) edit->setMaxLength(static_cast<int>(d.max_length));
      edit->setValidator(new Cp1252Validator(edit));
      edit->setFrame(d.border);
      edit->setFocusPolicy(focus);
      edit->setText(text);
      QPalette own = palette;
      own.setColor(QPalette::Base, background);
      own.setColor(QPalette::Text, foreground);
      edit->setPalette(own);
      w = edit;
      break;
    }
    case ControlKind::static_text: {
      auto* label = new StaticText(parent, foreground,
                                   d.transparent ? std::nullopt : std::optional<QColor>(background),
                                   d.border);
      label->set_text(text);
      w = label;
      break;
    }
    case ControlKind::frame: {
      auto* frame = new FrameBox(parent, foreground, background, d.caption_alignment);
      frame->set_caption(text);
      w = frame;
      break;
    }
    case ControlKind::image:
    case ControlKind::form:
      w = new PictureBox(parent, picture);
      break;
  }
  const int inset = parent == window_.get() ? 0 : kFrameBorder;
  w->setObjectName(QString::fromLatin1(d.name.data(), static_cast<int>(d.name.size())));
  w->setGeometry(d.x + inset, d.y + inset, d.width, d.height);
  if (!d.font.family.empty()) w->setFont(font_of(d.font));
  w->setEnabled(d.enabled);
  w->show();
  return w;
}

// --- Running ---------------------------------------------------------------

void QtFormRuntime::open(const RoutingEntry& entry) {
  entry_ = &entry;
  if (!tab_order_.empty()) {
    focus_ = tab_order_.front();
    controls_[*focus_].widget->setFocus(Qt::OtherFocusReason);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  raise(0, event_id::form_opened);
}

int QtFormRuntime::run(const RoutingEntry& entry) {
  open(entry);
  if (!closed_) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  return 0;
}

QWidget* QtFormRuntime::window() const { return window_.get(); }

QWidget* QtFormRuntime::widget(std::string_view control_name) const {
  const auto i = find(control_name);
  return i ? controls_[*i].widget.data() : nullptr;
}

std::string QtFormRuntime::text_of(std::string_view control_name) const {
  const auto i = find(control_name);
  if (!i) return {};
  QWidget* w = controls_[*i].widget;
  QString shown;
  if (*i == 0) {
    shown = w->windowTitle();
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    shown = edit->text();
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    shown = button->text();
  } else if (auto* label = dynamic_cast<StaticText*>(w)) {
    shown = label->text();
  } else if (auto* frame = dynamic_cast<FrameBox*>(w)) {
    shown = frame->caption();
  }
  return utf8_to_cp1252(shown.toStdString()).value_or(std::string());
}

std::string_view QtFormRuntime::focused() const {
  return focus_ ? controls_[*focus_].description->name : std::string_view{};
}

// --- Events ----------------------------------------------------------------

void QtFormRuntime::raise(std::size_t control, std::int32_t event, EventParams* params,
                          CopyBackArea* copy_back, KeyEventBlock* block) {
  if (closed_ || closing_ || entry_ == nullptr) return;
  route(control, event, params, copy_back, block);
  if (busy()) return;  // the routing call under way takes care of the rest
  while (!closed_) {
    if (close_requested_) {
      close_form();
      break;
    }
    if (pending_.empty()) break;
    const PendingEvent next = pending_.front();
    pending_.pop_front();
    route(next.control, next.event, nullptr, nullptr, nullptr);
  }
}

void QtFormRuntime::route(std::size_t control, std::int32_t event, EventParams* params,
                          CopyBackArea* copy_back, KeyEventBlock* block) {
  ++depth_;
  if (depth_ == 1) last_pump_ = {};
  try {
    (*entry_)(objects_, controls_[control].description->object_id, event, params, copy_back, block);
  } catch (...) {
    // Nothing may unwind through Qt's event delivery.
    diagnostics_ << module_.module_name << ": routing entry failed" << std::endl;
  }
  --depth_;
}

bool QtFormRuntime::key_pressed(int key, int modifiers) {
  const WindowsKey pressed = windows_key(key, Qt::KeyboardModifiers::fromInt(modifiers));
  EventParams params{pressed.code, pressed.shift};
  CopyBackArea copy_back;
  KeyEventBlock block;
  raise(0, event_id::form_key_down, &params, &copy_back, &block);
  if (closed_ || closing_ || !focus_) return true;
  // The form acts on the key code as the program left it.
  const int acted = params.key_code;
  if (acted == kKeyTab) {
    const bool backwards = (params.shift & kShiftDown) != 0;
    if (const auto next = next_tab_stop(*focus_, backwards)) {
      move_focus(*next, backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    }
    return true;
  }
  if (acted == kKeyEnter && controls_[*focus_].description->kind == ControlKind::command_button) {
    raise(*focus_, event_id::click);
    return true;
  }
  return acted != pressed.code;  // an unchanged key is the control's own
}

void QtFormRuntime::focus_arrived(QWidget* now) {
  if (closed_ || closing_ || now == nullptr || now->window() != window_.get()) return;
  const auto to = find(now);
  if (!to || focus_ == to) return;  // back from a box or another window
  const std::optional<std::size_t> from = focus_;
  focus_ = to;
  if (busy()) {
    if (from) pending_.push_back({*from, event_id::lost_focus});
    pending_.push_back({*to, event_id::got_focus});
    return;
  }
  if (from) raise(*from, event_id::lost_focus);
  raise(*to, event_id::got_focus);
}

void QtFormRuntime::move_focus(std::size_t to, int reason) {
  if (focus_ == to) return;
  const std::optional<std::size_t> from = focus_;
  focus_ = to;  // before Qt reports the move, so that it is not counted twice
  controls_[to].widget->setFocus(static_cast<Qt::FocusReason>(reason));
  if (busy()) {
    // The focus events of a move asked for inside an event follow it.
    if (from) pending_.push_back({*from, event_id::lost_focus});
    pending_.push_back({to, event_id::got_focus});
    return;
  }
  if (from) raise(*from, event_id::lost_focus);
  raise(to, event_id::got_focus);
}

void QtFormRuntime::close_form() {
  if (closing_ || closed_) return;
  closing_ = true;
  pending_.clear();
  route(0, event_id::form_closed, nullptr, nullptr, nullptr);
  closing_ = false;
  closed_ = true;
  window_->hide();
  if (loop_ != nullptr) loop_->quit();
}

bool QtFormRuntime::close_requested_by_operator() {
  if (closed_) return true;
  if (busy() || closing_) return false;  // not while a run is under way
  close_form();
  return true;
}

// --- Services --------------------------------------------------------------

bool QtFormRuntime::key_event_fill(const EventParams& params, KeyEventBlock& block) {
  last_error_.clear();
  if (block.descriptor != kKeyBlockDescriptor) return false;
  block.key_code = params.key_code;
  block.shift = params.shift;
  return true;
}

bool QtFormRuntime::key_event_copy_back(EventParams& params, const KeyEventBlock& block,
                                        CopyBackArea& copy_back) {
  last_error_.clear();
  if (block.descriptor != kKeyBlockDescriptor) return false;
  params.key_code = block.key_code;
  params.shift = block.shift;
  copy_back.key_code = block.key_code;
  copy_back.shift = block.shift;
  copy_back.filled = true;
  return true;
}

bool QtFormRuntime::get_text(ObjectRef control, std::span<char, kControlTextWidth> text) {
  last_error_.clear();
  const auto i = find(control);
  if (!i) return false;
  const std::string shown = text_of(controls_[*i].description->name);
  std::fill(text.begin(), text.end(), ' ');
  std::copy_n(shown.begin(), std::min(shown.size(), text.size()), text.begin());
  return true;
}

bool QtFormRuntime::set_text(ObjectRef control, std::span<const char, kControlTextWidth> text) {
  last_error_.clear();
  const auto i = find(control);
  if (!i || *i == 0) return false;
  const ControlDescription& d = *controls_[*i].description;
  std::string_view shown(text.data(), text.size());
  // A display field shows no more than its format's width.
  if (d.kind == ControlKind::static_text && d.max_length > 0) {
    shown = shown.substr(0, d.max_length);
  }
  return put_caption(*i, trim_right(shown));
}

bool QtFormRuntime::put_caption(std::size_t control, std::string_view cp1252) {
  QWidget* w = controls_[control].widget;
  const QString shown = to_qt(cp1252);
  if (control == 0) {
    w->setWindowTitle(shown);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(shown);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(shown);
  } else if (auto* label = dynamic_cast<StaticText*>(w)) {
    label->set_text(shown);
  } else if (auto* frame = dynamic_cast<FrameBox*>(w)) {
    frame->set_caption(shown);
  } else {
    last_error_ = "the control has no caption";
    return false;
  }
  return true;
}

bool QtFormRuntime::invoke_by_id(Invocation& call) {
  last_error_.clear();
  const auto i = find(call.object);
  if (!i) return false;
  const std::optional<FormRequest> request = form_request(call, *i == 0);
  if (!request) return false;
  switch (*request) {
    case FormRequest::close_form:
      set_result(call, 0);
      if (busy()) {
        close_requested_ = true;  // after the current event
      } else {
        close_form();
      }
      return true;
    case FormRequest::message_box:
      return message_box(call);
    case FormRequest::call_form:
      return call_form(call);
    case FormRequest::set_focus:
      return set_focus(*i);
    case FormRequest::caption:
      return put_caption(*i, trim_right(call.arguments[0].text));
    case FormRequest::refresh:
      refresh(*i);
      return true;
  }
  return false;
}

void QtFormRuntime::report_failure(int reason, std::string_view what) {
  diagnostics_ << module_.module_name << ": failure " << reason << ": "
               << cp1252_to_utf8(trim_right(what));
  if (!last_error_.empty()) diagnostics_ << ": " << last_error_;
  diagnostics_ << std::endl;
  last_error_.clear();
}

bool QtFormRuntime::message_box(Invocation& call) {
  const BoxRequest request{form_title(), to_qt(trim_right(call.arguments[0].text)),
                           call.arguments[1].integer};
  const std::optional<std::int32_t> answer = MessageBoxes::ask(window_.get(), request);
  if (!answer) {
    last_error_ = "message box style " + std::to_string(request.style) + " is not offered";
    return false;
  }
  set_result(call, *answer);
  return true;
}

bool QtFormRuntime::call_form(Invocation& call) {
  const std::string_view form_name = trim_right(call.arguments[0].text);
  const std::string_view module_file = trim_right(call.arguments[1].text);
  const std::optional<std::string> error =
      call_form_handler_ ? call_form_handler_(form_name, module_file, window_.get())
                         : no_modules(form_name, module_file, window_.get());
  if (error) {
    last_error_ = *error;
    return false;
  }
  set_result(call, 0);
  return true;
}

bool QtFormRuntime::set_focus(std::size_t control) {
  if (!focusable(control)) {
    last_error_ = "the control cannot take the focus";
    return false;
  }
  if (closing_ || focus_ == control) return true;
  move_focus(control, Qt::OtherFocusReason);
  return true;
}

void QtFormRuntime::refresh(std::size_t control) {
  // Qt turns a repaint that follows the last one within a frame into a
  // posted update; delivering that at once keeps the control current even
  // when the run then works a long time without another refresh.
  controls_[control].widget->repaint();
  QCoreApplication::sendPostedEvents(window_.get(), QEvent::UpdateRequest);
  // Let the window answer paint and expose requests (and the desktop's
  // "are you alive" pings) during a long run; the input guard drops every
  // input event that comes with them.
  const auto now = std::chrono::steady_clock::now();
  if (now - last_pump_ < kPumpInterval) return;
  last_pump_ = now;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// --- Helpers ---------------------------------------------------------------

std::optional<std::size_t> QtFormRuntime::find(ObjectRef object) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (static_cast<ObjectRef>(controls_[i].description->object_id) == object) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> QtFormRuntime::find(std::string_view control_name) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].description->name == control_name) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> QtFormRuntime::find(const QObject* widget) const {
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    if (controls_[i].widget == widget) return i;
  }
  return std::nullopt;
}

bool QtFormRuntime::focusable(std::size_t control) const {
  const ControlKind kind = controls_[control].description->kind;
  const QWidget* w = controls_[control].widget;
  return w != nullptr && w->isEnabledTo(window_.get()) &&
         (kind == ControlKind::text_box || kind == ControlKind::command_button);
}

std::optional<std::size_t> QtFormRuntime::next_tab_stop(std::size_t from, bool backwards) const {
  if (tab_order_.empty()) return std::nullopt;
  const auto at = std::find(tab_order_.begin(), tab_order_.end(), from);
  if (at == tab_order_.end()) return backwards ? tab_order_.back() : tab_order_.front();
  const std::size_t n = tab_order_.size();
  const auto k = static_cast<std::size_t>(at - tab_order_.begin());
  return tab_order_[backwards ? (k + n - 1) % n : (k + 1) % n];
}

QString QtFormRuntime::form_title() const { return to_qt(module_.form.text); }

}  // namespace vantrexo::qt
