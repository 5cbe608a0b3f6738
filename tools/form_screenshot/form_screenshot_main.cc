// form-screenshot FILE: draws the window DRAVEL_MARKS as it opens on Qt's
// offscreen platform and writes it to FILE as a PNG. QT_SCALE_FACTOR=2 draws
// it as on a high-DPI screen. The form program does not run: no data file is
// touched.
#include <QApplication>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>
#include <iostream>

#include "form/form_description.h"
#include "platform/qt/application_setup.h"
#include "platform/qt/qt_form_runtime.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: form-screenshot FILE.png" << std::endl;
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (!vantrexo::qt::prepare_application(app)) {
    std::cerr << "form-screenshot: a font or the translation is missing; the picture uses a "
                 "substitute"
              << std::endl;
  }
  vantrexo::qt::QtFormRuntime runtime(dravel::dravel_marks_description(), std::cerr);
  const vantrexo::RoutingEntry nothing = [](auto&&...) {};
  runtime.open(nothing);
  QApplication::processEvents();
  if (!runtime.window()->grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::cerr << "form-screenshot: " << argv[1] << ": cannot write the picture" << std::endl;
    return 1;
  }
  return 0;
}
