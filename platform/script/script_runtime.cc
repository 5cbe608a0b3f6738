#include "platform/script/script_runtime.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <ostream>
#include <stdexcept>

#include "platform/form/invocation.h"
#include "platform/text/cp1252.h"

namespace vantrexo::script {

// A script line the runtime cannot read.
class ScriptRuntime::ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace {

// Thrown through the program when a Yes/No box finds no answer, so that it
// unwinds as far as it lets it; a program that catches it sees a failed call.
struct RunStopped {};

constexpr std::int32_t kAnswerOk = 1;
constexpr std::int32_t kAnswerYes = 6;
constexpr std::int32_t kAnswerNo = 7;
constexpr std::int32_t kButtonsMask = 0xF;
constexpr std::int32_t kButtonsOk = 0;
constexpr std::int32_t kButtonsYesNo = 4;
constexpr int kKeyTab = 9;
constexpr int kKeyEnter = 13;
constexpr int kKeySpace = 32;
constexpr int kShiftDown = 1;

// Splits off the first word; the rest starts after the one space behind it.
std::pair<std::string_view, std::string_view> split_word(std::string_view text) {
  const auto space = text.find(' ');
  if (space == std::string_view::npos) return {text, {}};
  return {text.substr(0, space), text.substr(space + 1)};
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
    if (j > i) out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

std::optional<int> integer(std::string_view word) {
  int value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
  return value;
}

// Bytes the transcript shows as \xHH: the C0 controls, DEL, and the five
// bytes that Windows-1252 leaves undefined (C1 controls once converted).
bool is_control(unsigned char byte) {
  return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
         byte == 0x90 || byte == 0x9D;
}

}  // namespace

ScriptRuntime::ScriptRuntime(const ModuleDescription& module, SharedAreaRegistry& areas,
                             std::ostream& transcript, std::ostream& diagnostics)
    : module_(module),
      areas_(areas),
      transcript_(transcript),
      diagnostics_(diagnostics),
      objects_(module.object_table()) {
  controls_.push_back({&module.form, std::string(module.form.text), module.form.enabled});
  for (const ControlDescription& c : module.controls) {
    controls_.push_back({&c, std::string(c.text), c.enabled});
  }
  // A control is usable only when each of its containers is.
  for (Control& c : controls_) {
    std::int32_t container = c.description->container;
    for (int hops = 0; c.enabled && container != 0 && hops < 16; ++hops) {
      const ControlDescription* holder = module.find(container);
      if (holder == nullptr) break;
      c.enabled = holder->enabled;
      container = holder->container;
    }
  }
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlDescription& d = *controls_[i].description;
    if (d.tab_stop && d.tab_index >= 0 && focusable(i)) tab_order_.push_back(i);
  }
  std::stable_sort(tab_order_.begin(), tab_order_.end(), [this](std::size_t a, std::size_t b) {
    return controls_[a].description->tab_index < controls_[b].description->tab_index;
  });
}

int ScriptRuntime::run(const RoutingEntry& entry, std::istream& script) {
  entry_ = &entry;
  if (!tab_order_.empty()) {
    focus_ = tab_order_.front();
    line("focus " + std::string(name(*focus_)));
  }
  raise(0, event_id::form_opened);
  try {
    std::string text;
    while (!ended() && std::getline(script, text)) {
      ++line_number_;
      run_line(text);
    }
    if (!ended()) close_form();  // end of input
  } catch (const ScriptError& e) {
    diagnostics_ << "dravel-script: line " << line_number_ << ": " << e.what() << std::endl;
    return kExitScriptError;
  }
  return stopped_ ? kExitNoAnswer : kExitNormal;
}

std::string ScriptRuntime::text_of(std::string_view control) const {
  const auto i = find(control);
  return i ? std::string(trim_right(controls_[*i].text)) : std::string();
}

std::string_view ScriptRuntime::focused() const {
  return focus_ ? name(*focus_) : std::string_view{};
}

// --- Script commands -------------------------------------------------------

void ScriptRuntime::run_line(std::string_view text) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  const auto start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos || text[start] == '#') return;
  text.remove_prefix(start);
  const auto [command, rest] = split_word(text);
  if (command == "type") {
    do_type(rest);
  } else if (command == "key") {
    do_key(rest);
  } else if (command == "click") {
    do_click(rest);
  } else if (command == "answer") {
    do_answer(rest);
  } else if (command == "lookup") {
    do_lookup(rest);
  } else if (command == "close") {
    if (!words(rest).empty()) throw ScriptError("close takes no arguments");
    close_form();
  } else {
    throw ScriptError("unknown command \"" + std::string(command) + "\"");
  }
}

void ScriptRuntime::do_type(std::string_view text) {
  const std::optional<std::string> converted =
      text.starts_with('"') ? unquoted(text) : utf8_to_cp1252(text);
  if (!converted) {
    throw ScriptError(text.starts_with('"')
                          ? "a quoted text ends with '\"' and escapes only \\, \" and \\xHH"
                          : "the text is not UTF-8 or cannot be shown in Windows-1252");
  }
  if (!focus_) return;
  Control& c = controls_[*focus_];
  if (c.description->kind != ControlKind::text_box) return;
  c.text = *converted;
  if (c.description->max_length > 0 && c.text.size() > c.description->max_length) {
    c.text.resize(c.description->max_length);
  }
}

void ScriptRuntime::do_key(std::string_view arguments) {
  const auto w = words(arguments);
  if (w.empty() || w.size() > 2) throw ScriptError("usage: key CODE [SHIFT]");
  const auto code = integer(w[0]);
  const auto shift = w.size() == 2 ? integer(w[1]) : std::optional<int>(0);
  if (!code || *code < 0 || *code > 0xFF) throw ScriptError("key code must be 0 to 255");
  if (!shift || *shift < 0 || *shift > 7) throw ScriptError("modifier state must be 0 to 7");

  EventParams params{static_cast<std::int16_t>(*code), static_cast<std::int16_t>(*shift)};
  CopyBackArea copy_back;
  KeyEventBlock block;
  raise(0, event_id::form_key_down, &params, &copy_back, &block);
  if (ended() || !focus_) return;

  // The form acts on the key code as the program left it.
  const int acted = params.key_code;
  if (acted == kKeyTab) {
    const bool backwards = (params.shift & kShiftDown) != 0;
    if (const auto next = next_tab_stop(*focus_, backwards)) move_focus(*next);
  } else if ((acted == kKeyEnter || acted == kKeySpace) &&
             controls_[*focus_].description->kind == ControlKind::command_button) {
    raise(*focus_, event_id::click);
  }
}

void ScriptRuntime::do_click(std::string_view name_text) {
  const std::string_view control_name = trim_right(name_text);
  const auto i = find(control_name);
  if (!i) throw ScriptError("no control named \"" + std::string(control_name) + "\"");
  if (!controls_[*i].enabled) return;  // a disabled control takes no click
  if (focusable(*i) && focus_ != i) move_focus(*i);
  if (!ended()) raise(*i, event_id::click);
}

void ScriptRuntime::do_answer(std::string_view arguments) {
  const auto w = words(arguments);
  if (w.empty()) throw ScriptError("usage: answer N ... (6 Yes, 7 No)");
  std::vector<std::int32_t> parsed;
  for (std::string_view word : w) {
    const auto n = integer(word);
    if (!n || (*n != kAnswerYes && *n != kAnswerNo)) {
      throw ScriptError("an answer is 6 (Yes) or 7 (No), not \"" + std::string(word) + "\"");
    }
    parsed.push_back(*n);
  }
  answers_.insert(answers_.end(), parsed.begin(), parsed.end());
}

void ScriptRuntime::do_lookup(std::string_view argument) {
  if (argument == "none") {
    lookup_.queue({LookupStandIn::Kind::none, {}});
  } else if (argument == "fail") {
    lookup_.queue({LookupStandIn::Kind::fail, {}});
  } else {
    const std::optional<std::string> code = utf8_to_cp1252(argument);
    if (!code || code->empty() || code->size() > LookupStandIn::kCodeWidth) {
      throw ScriptError("usage: lookup CODE (1 to 3 characters) | none | fail");
    }
    lookup_.queue({LookupStandIn::Kind::code, *code});
  }
}

// --- Events ----------------------------------------------------------------

void ScriptRuntime::raise(std::size_t control, std::int32_t event, EventParams* params,
                          CopyBackArea* copy_back, KeyEventBlock* block) {
  if (ended() || closing_) return;
  route(control, event, params, copy_back, block);
  while (!ended()) {
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

void ScriptRuntime::route(std::size_t control, std::int32_t event, EventParams* params,
                          CopyBackArea* copy_back, KeyEventBlock* block) {
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;
  } depth(depth_);
  try {
    (*entry_)(objects_, controls_[control].description->object_id, event, params, copy_back, block);
  } catch (const RunStopped&) {
    // The program let the stop through; the run ends here.
  }
}

void ScriptRuntime::move_focus(std::size_t to) {
  if (focus_ == to) return;
  const std::optional<std::size_t> from = focus_;
  focus_ = to;
  line("focus " + std::string(name(to)));
  if (from) raise(*from, event_id::lost_focus);
  raise(to, event_id::got_focus);
}

void ScriptRuntime::close_form() {
  if (closing_ || ended()) return;
  closing_ = true;
  pending_.clear();
  line("close");
  route(0, event_id::form_closed, nullptr, nullptr, nullptr);
  closed_ = true;
}

// --- Services --------------------------------------------------------------

bool ScriptRuntime::key_event_fill(const EventParams& params, KeyEventBlock& block) {
  if (stopped_) throw RunStopped{};
  if (block.descriptor != kKeyBlockDescriptor) return false;
  block.key_code = params.key_code;
  block.shift = params.shift;
  return true;
}

bool ScriptRuntime::key_event_copy_back(EventParams& params, const KeyEventBlock& block,
                                        CopyBackArea& copy_back) {
  if (stopped_) throw RunStopped{};
  if (block.descriptor != kKeyBlockDescriptor) return false;
  params.key_code = block.key_code;
  params.shift = block.shift;
  copy_back.key_code = block.key_code;
  copy_back.shift = block.shift;
  copy_back.filled = true;
  return true;
}

bool ScriptRuntime::get_text(ObjectRef control, std::span<char, kControlTextWidth> text) {
  if (stopped_) throw RunStopped{};
  const auto i = find(control);
  if (!i) return false;
  const std::string& shown = controls_[*i].text;
  std::fill(text.begin(), text.end(), ' ');
  std::copy_n(shown.begin(), std::min(shown.size(), text.size()), text.begin());
  return true;
}

bool ScriptRuntime::set_text(ObjectRef control, std::span<const char, kControlTextWidth> text) {
  if (stopped_) throw RunStopped{};
  const auto i = find(control);
  if (!i) return false;
  Control& c = controls_[*i];
  std::string_view shown(text.data(), text.size());
  // A display field shows no more than its format's width.
  if (c.description->kind == ControlKind::static_text && c.description->max_length > 0) {
    shown = shown.substr(0, c.description->max_length);
  }
  c.text = trim_right(shown);
  line("text " + std::string(name(*i)) + " " + quoted(c.text));
  return true;
}

bool ScriptRuntime::invoke_by_id(Invocation& call) {
  if (stopped_) throw RunStopped{};
  const auto i = find(call.object);
  if (!i) return false;
  const std::optional<FormRequest> request = form_request(call, *i == 0);
  if (!request) return false;
  switch (*request) {
    case FormRequest::close_form:
      set_result(call, 0);
      if (depth_ > 0) {
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
      controls_[*i].text = trim_right(call.arguments[0].text);
      line("caption " + std::string(name(*i)) + " " + quoted(controls_[*i].text));
      return true;
    case FormRequest::refresh:
      line("refresh " + std::string(name(*i)));
      return true;
  }
  return false;
}

void ScriptRuntime::report_failure(int reason, std::string_view what) {
  if (stopped_) return;  // the run is over; what fails now is its unwinding
  line("failure " + std::to_string(reason) + " " + quoted(what));
  diagnostics_ << module_.module_name << ": failure " << reason << ": "
               << cp1252_to_utf8(trim_right(what)) << std::endl;
}

bool ScriptRuntime::message_box(Invocation& call) {
  const std::string_view text = trim_right(call.arguments[0].text);
  const std::int32_t style = call.arguments[1].integer;
  std::int32_t answer = kAnswerOk;
  switch (style & kButtonsMask) {
    case kButtonsOk:
      break;
    case kButtonsYesNo:
      if (answers_.empty()) {
        stopped_ = true;
        set_result(call, kAnswerNo);
        diagnostics_ << "dravel-script: ";
        if (line_number_ > 0) diagnostics_ << "line " << line_number_ << ": ";
        diagnostics_ << "no answer queued for the Yes/No box " << quoted(text) << "; stopping"
                     << std::endl;
        throw RunStopped{};
      }
      answer = answers_.front();
      answers_.pop_front();
      break;
    default:
      return false;  // no other buttons are offered
  }
  line("msgbox " + std::to_string(style) + " " + quoted(text) + " -> " + std::to_string(answer));
  set_result(call, answer);
  return true;
}

bool ScriptRuntime::call_form(Invocation& call) {
  const std::string_view form_name = trim_right(call.arguments[0].text);
  const std::string_view module_file = trim_right(call.arguments[1].text);
  // The only other module this runtime can load is the lookup component.
  if (!LookupStandIn::is_lookup(form_name, module_file)) return false;
  if (!lookup_.run(areas_)) return false;
  line("call " + quoted(form_name) + " " + quoted(module_file));
  set_result(call, 0);
  return true;
}

bool ScriptRuntime::set_focus(std::size_t control) {
  if (!focusable(control)) return false;
  if (closing_ || focus_ == control) return true;
  if (depth_ == 0) {
    move_focus(control);
    return true;
  }
  // The focus events of a move the program asked for follow its event.
  const std::optional<std::size_t> from = focus_;
  focus_ = control;
  line("focus " + std::string(name(control)));
  if (from) pending_.push_back({*from, event_id::lost_focus});
  pending_.push_back({control, event_id::got_focus});
  return true;
}

// --- Helpers ---------------------------------------------------------------

std::optional<std::size_t> ScriptRuntime::find(ObjectRef object) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (static_cast<ObjectRef>(controls_[i].description->object_id) == object) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> ScriptRuntime::find(std::string_view control_name) const {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].description->name == control_name) return i;
  }
  return std::nullopt;
}

bool ScriptRuntime::focusable(std::size_t control) const {
  const ControlKind kind = controls_[control].description->kind;
  return controls_[control].enabled &&
         (kind == ControlKind::text_box || kind == ControlKind::command_button);
}

std::optional<std::size_t> ScriptRuntime::next_tab_stop(std::size_t from, bool backwards) const {
  if (tab_order_.empty()) return std::nullopt;
  const auto at = std::find(tab_order_.begin(), tab_order_.end(), from);
  if (at == tab_order_.end()) return backwards ? tab_order_.back() : tab_order_.front();
  const std::size_t n = tab_order_.size();
  const auto k = static_cast<std::size_t>(at - tab_order_.begin());
  return tab_order_[backwards ? (k + n - 1) % n : (k + 1) % n];
}

std::string_view ScriptRuntime::name(std::size_t control) const {
  return controls_[control].description->name;
}

void ScriptRuntime::line(std::string_view text) {
  transcript_ << text << '\n';
  transcript_.flush();
}

std::string ScriptRuntime::quoted(std::string_view cp1252) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const char ch : trim_right(cp1252)) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (is_control(byte)) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += cp1252_to_utf8(std::string_view(&ch, 1));
    }
  }
  out += '"';
  return out;
}

std::optional<std::string> ScriptRuntime::unquoted(std::string_view text) {
  if (text.size() < 2 || !text.starts_with('"') || !text.ends_with('"')) return std::nullopt;
  text = text.substr(1, text.size() - 2);
  std::string out;
  while (!text.empty()) {
    const std::size_t escape = text.find_first_of("\\\"");
    const std::optional<std::string> plain = utf8_to_cp1252(text.substr(0, escape));
    if (!plain) return std::nullopt;
    out += *plain;
    if (escape == std::string_view::npos) break;
    text.remove_prefix(escape);
    if (text.size() >= 2 && text[0] == '\\' && (text[1] == '\\' || text[1] == '"')) {
      out += text[1];
      text.remove_prefix(2);
    } else if (text.size() >= 4 && text[0] == '\\' && text[1] == 'x') {
      unsigned value = 0;
      const auto [end, error] = std::from_chars(text.data() + 2, text.data() + 4, value, 16);
      if (error != std::errc{} || end != text.data() + 4) return std::nullopt;
      out += static_cast<char>(value);
      text.remove_prefix(4);
    } else {
      return std::nullopt;  // a lone '"' inside, or an unknown escape
    }
  }
  return out;
}

}  // namespace vantrexo::script
