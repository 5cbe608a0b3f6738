#include "platform/qt/message_boxes.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <deque>
#include <utility>

namespace vantrexo::qt {
namespace {

constexpr std::int32_t kButtonsMask = 0x000F;
constexpr std::int32_t kButtonsOk = 0x0000;
constexpr std::int32_t kButtonsYesNo = 0x0004;
constexpr std::int32_t kIconMask = 0x00F0;
constexpr std::int32_t kIconStop = 0x0010;
constexpr std::int32_t kIconQuestion = 0x0020;
constexpr std::int32_t kIconExclamation = 0x0030;
constexpr std::int32_t kIconInformation = 0x0040;
constexpr std::int32_t kDefaultMask = 0x0F00;
constexpr std::int32_t kDefaultSecond = 0x0100;

// A Yes/No box has no Cancel: Escape and closing the box's window do
// nothing, as on Windows, so that only Yes or No answers it.
class NoEscape final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) {
      event->ignore();
      return true;
    }
    return event->type() == QEvent::KeyPress &&
           static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
  }
};

struct TestAnswers {
  std::deque<std::int32_t> queued;
  std::function<void(const BoxRequest&)> observer;
};

TestAnswers& test_answers() {
  static TestAnswers answers;
  return answers;
}

QMessageBox::Icon icon_of(std::int32_t style) {
  switch (style & kIconMask) {
    case kIconStop:
      return QMessageBox::Critical;
    case kIconQuestion:
      return QMessageBox::Question;
    case kIconExclamation:
      return QMessageBox::Warning;
    case kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

std::unique_ptr<QMessageBox> MessageBoxes::build(QWidget* parent, const BoxRequest& request) {
  const std::int32_t buttons = request.style & kButtonsMask;
  if (buttons != kButtonsOk && buttons != kButtonsYesNo) return nullptr;
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(request.title);
  box->setText(request.text);
  box->setTextFormat(Qt::PlainText);
  box->setIcon(icon_of(request.style));
  box->setWindowModality(Qt::ApplicationModal);
  if (buttons == kButtonsOk) {
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  } else {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    const bool second = (request.style & kDefaultMask) == kDefaultSecond;
    box->setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
    box->installEventFilter(new NoEscape(box.get()));
  }
  return box;
}

std::optional<std::int32_t> MessageBoxes::ask(QWidget* parent, const BoxRequest& request) {
  TestAnswers& test = test_answers();
  if (!test.queued.empty()) {
    if (build(nullptr, request) == nullptr) return std::nullopt;
    const std::int32_t queued = test.queued.front();
    test.queued.pop_front();
    if (test.observer) test.observer(request);
    return queued;
  }
  const std::unique_ptr<QMessageBox> box = build(parent, request);
  if (box == nullptr) return std::nullopt;
  box->exec();
  QAbstractButton* clicked = box->clickedButton();
  if (clicked == nullptr)
    return (request.style & kButtonsMask) == kButtonsOk ? answer::ok : answer::no;
  switch (box->standardButton(clicked)) {
    case QMessageBox::Yes:
      return answer::yes;
    case QMessageBox::No:
      return answer::no;
    default:
      return answer::ok;
  }
}

void MessageBoxes::answer_next(std::int32_t button) { test_answers().queued.push_back(button); }

void MessageBoxes::observe(std::function<void(const BoxRequest&)> observer) {
  test_answers().observer = std::move(observer);
}

void MessageBoxes::reset() {
  test_answers().queued.clear();
  test_answers().observer = nullptr;
}

bool MessageBoxes::answers_pending() { return !test_answers().queued.empty(); }

}  // namespace vantrexo::qt
