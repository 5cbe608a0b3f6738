// The main of the window tests: GoogleTest inside a QApplication on Qt's
// offscreen platform (unless the environment names another), set up as the
// window's own main sets it up.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/qt/application_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vantrexo::qt::prepare_application(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
