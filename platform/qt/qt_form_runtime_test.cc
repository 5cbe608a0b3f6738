// The Qt form runtime with real widgets on the offscreen platform, driven
// as an operator would (keys and clicks), against a stand-in program that
// records every event it is given and does what each test asks of the form.
#include "platform/qt/qt_form_runtime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/form_ids.h"
#include "form/form_description.h"
#include "platform/qt/message_boxes.h"

namespace vantrexo::qt {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace ids = dravel::ids;

std::string padded(std::string_view text, std::size_t width) {
  std::string s(text);
  s.resize(width, ' ');
  return s;
}

InvokeArgument text_argument(std::string_view text, std::uint32_t type = arg_type::text_first) {
  return {type, padded(text, kArgumentTextWidth), 0};
}

std::string event_name(std::int32_t event) {
  switch (event) {
    case event_id::form_opened:
      return "opened";
    case event_id::form_closed:
      return "closed";
    case event_id::form_key_down:
      return "key";
    case event_id::got_focus:
      return "got";
    case event_id::lost_focus:
      return "lost";
    case event_id::click:
      return "click";
    default:
      return std::to_string(event);
  }
}

class QtFormRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBoxes::reset();
    runtime_.emplace(module_, diagnostics_);
  }
  void TearDown() override {
    EXPECT_FALSE(MessageBoxes::answers_pending()) << "a box the test expected was not shown";
    runtime_.reset();
    MessageBoxes::reset();
  }

  // Opens the form and waits until it is the active window.
  void open() {
    runtime_->open(entry_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(runtime_->window()));
    events_.clear();
  }

  QWidget* widget(std::string_view name) const { return runtime_->widget(name); }
  QWidget* focus_widget() const {
    QWidget* w = QApplication::focusWidget();
    return w != nullptr ? w : runtime_->window();
  }
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(focus_widget(), key, modifiers);
  }

  bool invoke(std::int32_t object, std::int64_t member, std::vector<InvokeArgument> arguments = {},
              InvokeKind kind = InvokeKind::method, std::int32_t* result = nullptr) {
    Invocation call;
    call.object = static_cast<ObjectRef>(object);
    call.member = member;
    call.kind = kind;
    call.result_type = result != nullptr ? kResultInteger : kResultNone;
    call.result = result;
    call.arguments = std::move(arguments);
    return runtime_->invoke_by_id(call);
  }
  std::int32_t box(std::string_view text, std::int32_t style) {
    std::int32_t result = -1;
    EXPECT_TRUE(invoke(ids::form, member_id::message_box,
                       {text_argument(text), {arg_type::integer, {}, style}}, InvokeKind::method,
                       &result));
    return result;
  }

  const ModuleDescription& module_ = dravel::dravel_marks_description();
  std::ostringstream diagnostics_;
  std::optional<QtFormRuntime> runtime_;
  std::vector<std::string> events_;
  // Turns Enter into Tab, as the program does while typing.
  bool enter_as_tab_ = false;
  // Extra work per "event Control", run after the event is recorded.
  std::map<std::string, std::function<void()>> on_;
  RoutingEntry entry_ = [this](const ObjectTable&, std::int32_t object_id, std::int32_t event,
                               EventParams* params, CopyBackArea*, KeyEventBlock*) {
    std::string line = event_name(event);
    if (event == event_id::form_key_down) {
      line += " " + std::to_string(params->key_code) + " " + std::to_string(params->shift);
      if (enter_as_tab_ && params->key_code == 13) params->key_code = 9;
    } else if (event != event_id::form_opened && event != event_id::form_closed) {
      line += " " + std::string(module_.find(object_id)->name);
    }
    events_.push_back(line);
    if (const auto it = on_.find(line); it != on_.end()) it->second();
  };
};

TEST_F(QtFormRuntimeTest, OpensWithTheFocusInTheTextBoxAndRaisesOpenedAlone) {
  runtime_->open(entry_);
  ASSERT_TRUE(QTest::qWaitForWindowActive(runtime_->window()));
  EXPECT_THAT(events_, ElementsAre("opened"));
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
  EXPECT_EQ(QApplication::focusWidget(), widget("Ed_CODIMAR"));
  EXPECT_EQ(runtime_->window()->windowTitle(), QString("Exclui Produtos por Marca"));
  EXPECT_EQ(runtime_->window()->size(), QSize(418, 169));
  EXPECT_EQ(runtime_->window()->minimumSize(), runtime_->window()->maximumSize());
  EXPECT_EQ(runtime_->text_of("Ed_CODIMAR"), "");
  EXPECT_EQ(runtime_->text_of("Ds_MAR"), "");
  EXPECT_EQ(runtime_->text_of("Frm_Dsp"), "");
}

// Positions in the window: a control in a frame sits inside the frame's
// 3D border.
TEST_F(QtFormRuntimeTest, ControlsSitWhereTheDescriptionPutsThem) {
  open();
  struct Case {
    const char* name;
    QRect in_window;
  };
  for (const Case& c : {Case{"Bt_EXC", {260, 77, 136, 29}}, Case{"Frame7", {8, 70, 226, 42}},
                        Case{"Ed_CODIMAR", {14, 91, 30, 17}}, Case{"Command1", {45, 91, 19, 17}},
                        Case{"Ds_MAR", {64, 91, 160, 17}}, Case{"Frm_Chave1", {8, 7, 402, 49}},
                        Case{"Image1", {12, 9, 45, 45}}, Case{"Static66", {60, 16, 348, 30}},
                        Case{"Frm_Dsp", {8, 128, 402, 25}}}) {
    QWidget* w = widget(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(QRect(w->mapTo(runtime_->window(), QPoint(0, 0)), w->size()), c.in_window) << c.name;
  }
}

// The buttons' pictures leave out silver, their transparent colour; the
// warning picture is drawn whole, though its band is disabled.
TEST_F(QtFormRuntimeTest, PicturesAreDrawnWithSilverLeftOut) {
  open();
  const QImage check =
      static_cast<QPushButton*>(widget("Bt_EXC"))->icon().pixmap(QSize(23, 23), 1.0).toImage();
  ASSERT_EQ(check.size(), QSize(23, 23));
  EXPECT_EQ(qAlpha(check.pixel(0, 0)), 0);     // the silver edge
  EXPECT_EQ(qAlpha(check.pixel(4, 18)), 255);  // the light-grey square
  const QImage warning = widget("Image1")->grab().toImage();
  EXPECT_EQ(warning.pixelColor(14, 36).name().toStdString(), "#ffd400");  // the triangle
  EXPECT_EQ(warning.pixelColor(22, 20).name().toStdString(), "#000000");  // the mark
  EXPECT_EQ(warning.pixelColor(1, 1).name().toStdString(), "#ece9d9");    // beige
}

TEST_F(QtFormRuntimeTest, TabCyclesTheTabStopsAndShiftTabGoesBack) {
  open();
  press(Qt::Key_Tab);
  press(Qt::Key_Tab);
  press(Qt::Key_Tab);
  EXPECT_THAT(events_, ElementsAre("key 9 0", "lost Ed_CODIMAR", "got Bt_EXC",  //
                                   "key 9 0", "lost Bt_EXC", "got Command1",    //
                                   "key 9 0", "lost Command1", "got Ed_CODIMAR"));
  events_.clear();
  press(Qt::Key_Backtab, Qt::ShiftModifier);
  // Shift is a key of its own, as on Windows.
  EXPECT_THAT(events_, ElementsAre("key 16 1", "key 9 1", "lost Ed_CODIMAR", "got Command1"));
  EXPECT_EQ(QApplication::focusWidget(), widget("Command1"));
}

// The key code the program leaves is the one the form acts on.
TEST_F(QtFormRuntimeTest, EnterTurnedIntoTabMovesOnAndEnterOnAButtonClicksIt) {
  open();
  press(Qt::Key_Return);  // left alone: the text box's own
  EXPECT_THAT(events_, ElementsAre("key 13 0"));
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");

  enter_as_tab_ = true;
  events_.clear();
  press(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_THAT(events_, ElementsAre("key 13 0", "lost Ed_CODIMAR", "got Bt_EXC"));

  enter_as_tab_ = false;
  events_.clear();
  press(Qt::Key_Return);
  EXPECT_THAT(events_, ElementsAre("key 13 0", "click Bt_EXC"));
  events_.clear();
  press(Qt::Key_Space);
  EXPECT_THAT(events_, ElementsAre("key 32 0", "click Bt_EXC"));
}

// Shift stays held: the Tab the program made of Shift+Enter goes back.
TEST_F(QtFormRuntimeTest, ShiftEnterTurnedIntoTabKeepsTheShift) {
  enter_as_tab_ = true;
  open();
  press(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_THAT(events_, ElementsAre("key 16 1", "key 13 1", "lost Ed_CODIMAR", "got Command1"));
}

TEST_F(QtFormRuntimeTest, TypedKeysReachTheTextBoxAfterTheKeyEvent) {
  open();
  QTest::keyClicks(widget("Ed_CODIMAR"), "a1");
  EXPECT_THAT(events_, ElementsAre("key 65 0", "key 49 0"));
  EXPECT_EQ(runtime_->text_of("Ed_CODIMAR"), "a1");
}

TEST_F(QtFormRuntimeTest, AClickOnAButtonFromTheTextBoxMovesTheFocusFirst) {
  open();
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  EXPECT_THAT(events_, ElementsAre("lost Ed_CODIMAR", "got Bt_EXC", "click Bt_EXC"));
  events_.clear();
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  EXPECT_THAT(events_, ElementsAre("click Bt_EXC"));
}

// The warning band is disabled with everything in it; the display band and
// the description take no focus.
TEST_F(QtFormRuntimeTest, DisabledAndPassiveControlsRaiseNothing) {
  open();
  for (const char* name : {"Static66", "Image1", "Frm_Chave1", "Ds_MAR", "Frm_Dsp", "Frame7"}) {
    QTest::mouseClick(widget(name), Qt::LeftButton, {}, QPoint(5, 5));
  }
  EXPECT_THAT(events_, IsEmpty());
  EXPECT_FALSE(widget("Static66")->isEnabled());
  EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
}

// Activation moving to a box or another window and back is no focus move
// inside the form.
TEST_F(QtFormRuntimeTest, NoFocusEventsWhenAnotherWindowTakesAndGivesBackActivation) {
  open();
  QLineEdit other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  runtime_->window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(runtime_->window()));
  EXPECT_EQ(QApplication::focusWidget(), widget("Ed_CODIMAR"));

  on_["click Bt_EXC"] = [this] {
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
    EXPECT_EQ(box("Fim", 48), 1);
  };
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_THAT(events_, ElementsAre("lost Ed_CODIMAR", "got Bt_EXC", "click Bt_EXC"));
}

// A focus move the program asks for happens at once; its events follow the
// event that asked for it.
TEST_F(QtFormRuntimeTest, SetFocusInsideAnEventRaisesItsEventsAfterIt) {
  open();
  on_["click Command1"] = [this] {
    EXPECT_TRUE(invoke(ids::ed_codimar, member_id::set_focus));
    EXPECT_EQ(runtime_->focused(), "Ed_CODIMAR");
    events_.push_back("after set focus");
  };
  QTest::mouseClick(widget("Command1"), Qt::LeftButton);
  EXPECT_THAT(events_, ElementsAre("lost Ed_CODIMAR", "got Command1", "click Command1",
                                   "after set focus", "lost Command1", "got Ed_CODIMAR"));
  EXPECT_EQ(QApplication::focusWidget(), widget("Ed_CODIMAR"));
  // Nothing to move to: a control that cannot hold the focus.
  EXPECT_FALSE(invoke(ids::ds_mar, member_id::set_focus));
}

TEST_F(QtFormRuntimeTest, CloseInsideAnEventClosesAfterItAndTheRunEnds) {
  on_["opened"] = [this] {
    EXPECT_TRUE(invoke(ids::form, member_id::close_form));
    EXPECT_FALSE(runtime_->closed());
    events_.push_back("after close");
  };
  EXPECT_EQ(runtime_->run(entry_), 0);  // returns without waiting for the operator
  EXPECT_THAT(events_, ElementsAre("opened", "after close", "closed"));
  EXPECT_TRUE(runtime_->closed());
  EXPECT_FALSE(runtime_->window()->isVisible());
}

TEST_F(QtFormRuntimeTest, TheOperatorClosesTheFormOnceButNotDuringARun) {
  open();
  on_["click Bt_EXC"] = [this] { EXPECT_FALSE(runtime_->window()->close()); };
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  EXPECT_FALSE(runtime_->closed());
  events_.clear();
  EXPECT_TRUE(runtime_->window()->close());
  EXPECT_TRUE(runtime_->window()->close());
  EXPECT_THAT(events_, ElementsAre("closed"));
  EXPECT_TRUE(runtime_->closed());
}

// A click or a key while a run works is dropped, not held for later; the
// window still paints.
TEST_F(QtFormRuntimeTest, InputDuringARunIsDroppedWhileRefreshLetsPaintThrough) {
  open();
  on_["click Bt_EXC"] = [this] {
    QWindow* window = runtime_->window()->windowHandle();
    const QPointF at = widget("Command1")->mapTo(runtime_->window(), QPointF(5, 5));
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QCoreApplication::postEvent(
          window, new QMouseEvent(type, at, window->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                                  Qt::NoModifier));
    }
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, {}));
    EXPECT_TRUE(invoke(ids::frm_dsp, member_id::caption, {text_argument("Produto dez")},
                       InvokeKind::property_put));
    EXPECT_TRUE(invoke(ids::frm_dsp, member_id::refresh));
    EXPECT_EQ(runtime_->text_of("Frm_Dsp"), "Produto dez");
  };
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_THAT(events_, ElementsAre("lost Ed_CODIMAR", "got Bt_EXC", "click Bt_EXC"));
  EXPECT_EQ(QApplication::focusWidget(), widget("Bt_EXC"));
}

// Counts the paints of a widget.
class PaintCounter final : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Every refresh paints the control before it returns, however quickly the
// next one follows.
TEST_F(QtFormRuntimeTest, RefreshRepaintsTheControlAtOnce) {
  open();
  PaintCounter counter(widget("Frm_Dsp"));
  std::vector<int> after_refresh;
  on_["click Bt_EXC"] = [&] {
    for (const char* caption : {"Produto dez", "Produto onze", ""}) {
      EXPECT_TRUE(invoke(ids::frm_dsp, member_id::caption, {text_argument(caption)},
                         InvokeKind::property_put));
      const int before = counter.paints;
      EXPECT_TRUE(invoke(ids::frm_dsp, member_id::refresh));
      after_refresh.push_back(counter.paints - before);
    }
  };
  QTest::mouseClick(widget("Bt_EXC"), Qt::LeftButton);
  EXPECT_THAT(after_refresh, ElementsAre(1, 1, 1));
}

TEST_F(QtFormRuntimeTest, TheTextBoxHoldsThreeWindows1252Characters) {
  open();
  auto* edit = static_cast<QLineEdit*>(widget("Ed_CODIMAR"));
  // Typed as a keyboard layout would send them; Ω and 日 are not held.
  for (const QChar c : QString::fromUtf8("A\u03A9\u20AC\u65E5BC")) {
    QKeyEvent press(QEvent::KeyPress, c.isLetter() && c.unicode() < 128 ? c.toUpper().unicode() : 0,
                    Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
  }
  EXPECT_EQ(edit->text(), QString::fromUtf8("A\u20ACB"));
  std::array<char, kControlTextWidth> text{};
  ASSERT_TRUE(runtime_->get_text(ids::ed_codimar, text));
  EXPECT_EQ(std::string(text.data(), text.size()), padded("A\x80"
                                                          "B",
                                                          kControlTextWidth));

  edit->clear();
  QApplication::clipboard()->setText(QString::fromUtf8("XYZW\u00C7"));
  edit->paste();
  EXPECT_EQ(edit->text(), "XYZ");  // the first three
  edit->clear();
  QApplication::clipboard()->setText(QString::fromUtf8("X\u65E5Z"));
  edit->paste();
  EXPECT_EQ(edit->text(), "");  // not a character it cannot hold
}

TEST_F(QtFormRuntimeTest, SetTextShowsTheTextAndADisplayFieldAtMostItsWidth) {
  open();
  ASSERT_TRUE(runtime_->set_text(
      ids::ds_mar,
      std::span<const char, kControlTextWidth>(
          padded(std::string(30, 'M') + "\xC7", kControlTextWidth).data(), kControlTextWidth)));
  EXPECT_EQ(runtime_->text_of("Ds_MAR"), std::string(25, 'M'));
  const std::string code = padded("A\xC7", kControlTextWidth);
  ASSERT_TRUE(runtime_->set_text(
      ids::ed_codimar, std::span<const char, kControlTextWidth>(code.data(), code.size())));
  EXPECT_EQ(static_cast<QLineEdit*>(widget("Ed_CODIMAR"))->text(), QString::fromUtf8("A\u00C7"));
  EXPECT_THAT(events_, IsEmpty());
}

// Each style with its answer, and the box as it is built.
TEST_F(QtFormRuntimeTest, MessageBoxesAnswerOkYesNo) {
  open();
  struct Case {
    std::int32_t style;
    std::int32_t answer;
    QMessageBox::Icon icon;
  };
  for (const Case& c :
       {Case{16, answer::ok, QMessageBox::Critical}, Case{36, answer::yes, QMessageBox::Question},
        Case{36, answer::no, QMessageBox::Question}, Case{48, answer::ok, QMessageBox::Warning}}) {
    SCOPED_TRACE(c.style);
    std::vector<BoxRequest> shown;
    MessageBoxes::observe([&](const BoxRequest& r) { shown.push_back(r); });
    MessageBoxes::answer_next(c.answer);
    EXPECT_EQ(box("Arquivo HISTVAL Inexistente !!!", c.style), c.answer);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Exclui Produtos por Marca");
    EXPECT_EQ(shown[0].text, "Arquivo HISTVAL Inexistente !!!");  // no trailing spaces
    const auto built = MessageBoxes::build(nullptr, shown[0]);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->icon(), c.icon);
  }
  const auto question = MessageBoxes::build(nullptr, {"T", "Registro sendo acessado.", 36});
  ASSERT_NE(question->button(QMessageBox::Yes), nullptr);
  EXPECT_EQ(question->button(QMessageBox::Yes)->text().remove('&'), QString("Sim"));
  EXPECT_EQ(question->button(QMessageBox::No)->text().remove('&'), QString::fromUtf8("N\u00E3o"));
  EXPECT_EQ(question->defaultButton(), question->button(QMessageBox::Yes));
  EXPECT_EQ(MessageBoxes::build(nullptr, {"T", "x", 48})->buttons().size(), 1);
  EXPECT_THAT(events_, IsEmpty());
}

// A real modal box: Escape and closing do not answer the question; Enter
// chooses the default, Yes. Escape on an OK box is OK.
TEST_F(QtFormRuntimeTest, EnterInTheQuestionChoosesYesAndEscapeDoesNotAnswerIt) {
  open();
  QString title;
  bool open_after_escape = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    title = modal->windowTitle();
    QTest::keyClick(modal, Qt::Key_Escape);
    modal->close();
    open_after_escape = modal->isVisible();
    QTest::keyClick(modal, Qt::Key_Return);
  });
  EXPECT_EQ(box("Registro sendo acessado. Tenta novamente ?", 36), answer::yes);
  EXPECT_EQ(title, "Exclui Produtos por Marca");
  EXPECT_TRUE(open_after_escape);

  QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
  EXPECT_EQ(box("Fim da Elimina\xE7\xF5"
                "es !!!",
                48),
            answer::ok);
}

TEST_F(QtFormRuntimeTest, AStyleWithOtherButtonsFailsAndIsReportedInOneLine) {
  open();
  std::int32_t result = -1;
  EXPECT_FALSE(invoke(ids::form, member_id::message_box,
                      {text_argument("x"), {arg_type::integer, {}, 1}}, InvokeKind::method,
                      &result));
  runtime_->report_failure(16, "message box");
  EXPECT_EQ(diagnostics_.str(),
            "DRAVEL_MARKS: failure 16: message box: message box style 1 is not offered\n");
}

TEST_F(QtFormRuntimeTest, CallFormFailsWithoutAModuleLoaderAndUsesTheOneGiven) {
  open();
  const std::vector<InvokeArgument> names = {
      text_argument("99-Qrv_Tabelas"),
      text_argument("999999-Quervilos.DLL", arg_type::text_second)};
  EXPECT_FALSE(invoke(ids::form, member_id::call_form, names));
  runtime_->report_failure(16, "call form");
  EXPECT_EQ(diagnostics_.str(),
            "DRAVEL_MARKS: failure 16: call form: module 999999-Quervilos.so not found\n");

  std::vector<std::string> calls;
  runtime_->set_call_form_handler([&](std::string_view form, std::string_view file,
                                      QWidget* parent) -> std::optional<std::string> {
    calls.push_back(std::string(form) + "|" + std::string(file));
    EXPECT_EQ(parent, runtime_->window());
    return std::nullopt;
  });
  std::int32_t result = -1;
  EXPECT_TRUE(invoke(ids::form, member_id::call_form, names, InvokeKind::method, &result));
  EXPECT_THAT(calls, ElementsAre("99-Qrv_Tabelas|999999-Quervilos.DLL"));
  EXPECT_EQ(result, 0);
}

TEST_F(QtFormRuntimeTest, InvocationsTheFormDoesNotOfferFail) {
  open();
  EXPECT_FALSE(invoke(0x12345, member_id::refresh));                             // no such object
  EXPECT_FALSE(invoke(ids::form, 0x07000299));                                   // no such member
  EXPECT_FALSE(invoke(ids::ed_codimar, member_id::close_form));                  // not the form
  EXPECT_FALSE(invoke(ids::frm_dsp, member_id::caption, {text_argument("x")}));  // not a put
  EXPECT_FALSE(runtime_->closed());
}

}  // namespace
}  // namespace vantrexo::qt
