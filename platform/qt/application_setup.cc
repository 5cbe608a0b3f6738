#include "platform/qt/application_setup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>
#include <array>
#include <cmath>
#include <string_view>

namespace vantrexo::qt {
namespace {

// Where Debian puts the fonts the forms use: Tahoma from fonts-wine, and
// DejaVu Sans (fonts-dejavu-core), the metric cousin of Verdana; Liberation
// Sans (fonts-liberation) for bold texts on scaled screens.
constexpr std::array<const char*, 5> kFontFiles = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
};
constexpr const char* kTahoma = "Tahoma";
constexpr const char* kVerdanaStandIn = "DejaVu Sans";
constexpr const char* kBoldOnScaledScreens = "Liberation Sans";
constexpr double kDesignDpi = 96.0;

QColor rgb(const Rgb& c) { return QColor(c.r, c.g, c.b); }

}  // namespace

QPalette form_palette() {
  const QColor face = rgb(kButtonFace);
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  QPalette p(black, face, white, QColor(160, 160, 160), QColor(160, 160, 160), black, white, white,
             face);
  p.setColor(QPalette::Midlight, QColor(227, 227, 227));
  p.setColor(QPalette::Shadow, QColor(105, 105, 105));
  p.setColor(QPalette::Highlight, QColor(0, 120, 215));
  p.setColor(QPalette::HighlightedText, white);
  p.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
  p.setColor(QPalette::ToolTipText, black);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Disabled, role, QColor(109, 109, 109));
  }
  return p;
}

bool prepare_application(QApplication& app) {
  bool complete = true;
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QApplication::setPalette(form_palette());
  for (const char* file : kFontFiles) {
    if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0) complete = false;
  }
  QApplication::setFont(font_of(Font{"MS Shell Dlg", 8.25, false}));

  auto* translator = new QTranslator(&app);
  if (translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  } else {
    complete = false;
  }
  return complete;
}

QFont font_of(const Font& font) {
  const std::string_view family = font.family;
  QString mapped = QString::fromLatin1(kTahoma);
  if (family == "Verdana") mapped = QString::fromLatin1(kVerdanaStandIn);
  // "MS Shell Dlg" and Tahoma both become Tahoma. At the form's own size
  // Tahoma is drawn without smoothing, from the bitmaps the font carries for
  // it, crisp as on the system the operators know. Its bold outlines are no
  // heavier than the regular ones, so on a scaled (high-DPI) screen the bold
  // texts take Liberation Sans Bold, which is narrower and keeps every line.
  const bool scaled = qGuiApp != nullptr && qGuiApp->devicePixelRatio() > 1.0;
  if (mapped == QLatin1String(kTahoma) && font.bold && scaled) {
    mapped = QString::fromLatin1(kBoldOnScaledScreens);
  }
  QFont f(mapped);
  f.setPixelSize(static_cast<int>(std::lround(font.points * kDesignDpi / 72.0)));
  f.setBold(font.bold);
  if (mapped == QLatin1String(kTahoma) && !scaled) f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

QColor colour_of(const Colour& colour, const QPalette& palette) {
  switch (colour.system) {
    case SystemColour::window_text:
      return palette.color(QPalette::Active, QPalette::WindowText);
    case SystemColour::button_face:
      return palette.color(QPalette::Active, QPalette::Button);
    case SystemColour::window:
      return palette.color(QPalette::Active, QPalette::Base);
    case SystemColour::none:
      break;
  }
  return rgb(colour.rgb);
}

}  // namespace vantrexo::qt
