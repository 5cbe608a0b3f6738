#include "platform/qt/form_widgets.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <array>
#include <string>

#include "platform/text/cp1252.h"

namespace vantrexo::qt {
namespace {

// The 3D colours of borders: shadow, highlight, dark edge.
const QColor kShadow(160, 160, 160);
const QColor kHighlight(255, 255, 255);
const QColor kDarkEdge(105, 105, 105);
constexpr int kCaptionIndent = 7;

QImage render_svg(const QString& resource, QSize size, qreal scale) {
  QImage image((QSizeF(size) * scale).toSize(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  image.setDevicePixelRatio(scale);
  return image;
}

}  // namespace

FrameBox::FrameBox(QWidget* parent, QColor foreground, QColor background, Alignment alignment)
    : QWidget(parent), foreground_(foreground), background_(background), alignment_(alignment) {}

void FrameBox::set_caption(const QString& caption) {
  caption_ = caption;
  update();
}

void FrameBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);
  const QFontMetrics metrics(font());
  const int top = caption_.isEmpty() ? 0 : metrics.height() / 2;
  // The etched single line: a shadow line, a highlight line inside it. A
  // frame with a colour of its own draws the line in that colour.
  const QColor line = foreground_ == palette().color(QPalette::WindowText) ? kShadow : foreground_;
  p.setPen(line);
  p.drawRect(0, top, width() - 2, height() - top - 2);
  p.setPen(kHighlight);
  p.drawLine(1, top + 1, width() - 3, top + 1);
  p.drawLine(1, top + 1, 1, height() - 3);
  p.drawLine(0, height() - 1, width() - 1, height() - 1);
  p.drawLine(width() - 1, top, width() - 1, height() - 1);
  if (caption_.isEmpty()) return;
  const int text_width = metrics.horizontalAdvance(caption_);
  const int x = alignment_ == Alignment::centre ? (width() - text_width) / 2 : kCaptionIndent;
  const QRect text_rect(x, 0, text_width, metrics.height());
  p.fillRect(text_rect, background_);
  p.setPen(foreground_);
  p.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_);
}

StaticText::StaticText(QWidget* parent, QColor foreground, std::optional<QColor> background,
                       bool border)
    : QWidget(parent), foreground_(foreground), background_(background), border_(border) {}

void StaticText::set_text(const QString& text) {
  text_ = text;
  update();
}

void StaticText::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (background_) p.fillRect(rect(), *background_);
  QRect inner = rect();
  if (border_) {
    // Sunken, like the text box beside it.
    const int r = width() - 1;
    const int b = height() - 1;
    p.setPen(kShadow);
    p.drawLine(0, 0, r - 1, 0);
    p.drawLine(0, 0, 0, b - 1);
    p.setPen(kDarkEdge);
    p.drawLine(1, 1, r - 2, 1);
    p.drawLine(1, 1, 1, b - 2);
    p.setPen(kHighlight);
    p.drawLine(0, b, r, b);
    p.drawLine(r, 0, r, b);
    inner.adjust(kFrameBorder + 1, kFrameBorder, -kFrameBorder, -kFrameBorder);
  }
  // The colours stay as set whether or not the control is enabled.
  p.setPen(foreground_);
  p.drawText(inner, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
}

PictureBox::PictureBox(QWidget* parent, QString resource)
    : QWidget(parent), resource_(std::move(resource)) {}

void PictureBox::paintEvent(QPaintEvent*) {
  // Drawn at the screen's own scale, and never greyed when disabled.
  QPainter p(this);
  p.drawImage(QPoint(0, 0), render_svg(resource_, size(), devicePixelRatioF()));
}

QString picture_resource(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const QString path = QStringLiteral(":/pictures/%1.svg").arg(QString::fromStdString(upper));
  return QFile::exists(path) ? path : QString();
}

QIcon picture_icon(const QString& resource, QSize size, std::optional<QColor> transparent) {
  QIcon icon;
  for (const qreal scale : {1.0, 1.25, 1.5, 2.0, 3.0}) {
    QImage image = render_svg(resource, size, scale);
    if (transparent) {
      const QRgb key = transparent->rgb();
      for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
          if (row[x] == key) row[x] = qRgba(0, 0, 0, 0);
        }
      }
    }
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

QValidator::State Cp1252Validator::validate(QString& input, int&) const {
  return utf8_to_cp1252(input.toStdString()) ? Acceptable : Invalid;
}

}  // namespace vantrexo::qt
