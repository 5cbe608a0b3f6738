// The widgets a form is built of where Qt's own do not draw what the form
// description asks for: frames with a 3D single-line border and an optional
// caption (left or centred), static texts that keep their colours when
// disabled, pictures drawn from our SVG resources, and the validator that
// keeps a text box to what Windows-1252 can hold.
//
// Threading: the GUI thread.
#ifndef PLATFORM_QT_FORM_WIDGETS_H_
#define PLATFORM_QT_FORM_WIDGETS_H_

#include <QColor>
#include <QIcon>
#include <QString>
#include <QValidator>
#include <QWidget>
#include <optional>
#include <string_view>

#include "platform/form/module_description.h"

namespace vantrexo::qt {

// Width of a frame's 3D border; its children sit inside it.
inline constexpr int kFrameBorder = 2;

class FrameBox final : public QWidget {
 public:
  FrameBox(QWidget* parent, QColor foreground, QColor background, Alignment alignment);
  void set_caption(const QString& caption);
  const QString& caption() const { return caption_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  QColor foreground_;
  QColor background_;
  Alignment alignment_;
};

class StaticText final : public QWidget {
 public:
  StaticText(QWidget* parent, QColor foreground, std::optional<QColor> background, bool border);
  void set_text(const QString& text);
  const QString& text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QColor foreground_;
  std::optional<QColor> background_;  // none: transparent
  bool border_;
};

class PictureBox final : public QWidget {
 public:
  PictureBox(QWidget* parent, QString resource);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString resource_;
};

// The resource path of a picture named in any letter case, empty when the
// module has no such picture.
QString picture_resource(std::string_view name);

// The picture as an icon at the usual screen scales; pixels of
// `transparent`, when given, are left out.
QIcon picture_icon(const QString& resource, QSize size, std::optional<QColor> transparent);

// Accepts a text only when every character has a Windows-1252 byte.
class Cp1252Validator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace vantrexo::qt

#endif  // PLATFORM_QT_FORM_WIDGETS_H_
