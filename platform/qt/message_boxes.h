// The form's message box on Qt: a Windows message-box style (buttons, icon,
// default button) shown as a QMessageBox, answered with the Windows button
// identifier. Every box of a form goes through here, so that a test can set
// the next answers and no test ever blocks on a box.
//
// Threading: the GUI thread.
#ifndef PLATFORM_QT_MESSAGE_BOXES_H_
#define PLATFORM_QT_MESSAGE_BOXES_H_

#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace vantrexo::qt {

namespace answer {
inline constexpr std::int32_t ok = 1;
inline constexpr std::int32_t yes = 6;
inline constexpr std::int32_t no = 7;
}  // namespace answer

struct BoxRequest {
  QString title;
  QString text;
  std::int32_t style = 0;  // a Windows message-box type value
};

class MessageBoxes {
 public:
  // The box as it is shown, not yet shown; nothing for a style whose
  // buttons are not offered (only OK and Yes/No are).
  static std::unique_ptr<QMessageBox> build(QWidget* parent, const BoxRequest& request);

  // Shows the box modally and returns the button chosen (1 OK, 6 Yes, 7 No);
  // nothing for a style that is not offered. Escape closes an OK box (OK);
  // a Yes/No box takes only Yes or No. With an answer queued by a test,
  // returns it without showing.
  static std::optional<std::int32_t> ask(QWidget* parent, const BoxRequest& request);

  // Tests: the next box is answered with `button` instead of being shown.
  static void answer_next(std::int32_t button);
  // Tests: called with every box answered from the queue, before it answers.
  static void observe(std::function<void(const BoxRequest&)> observer);
  // Tests: forget queued answers and the observer.
  static void reset();
  static bool answers_pending();
};

}  // namespace vantrexo::qt

#endif  // PLATFORM_QT_MESSAGE_BOXES_H_
