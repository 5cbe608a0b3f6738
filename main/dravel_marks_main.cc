// DRAVEL_MARKS: the form "Exclui Produtos por Marca" in a window. Starts the
// Qt form runtime, runs the form program until its form has ended, closes
// the data files and exits with the runner's result. The forms of other
// modules it calls are loaded from the module folder. Without a display it
// says so in one line and exits 1. No options beyond Qt's own.
#include <QApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "app/program.h"
#include "form/form_description.h"
#include "platform/files/sqlite_store.h"
#include "platform/modules/module_loader.h"
#include "platform/qt/application_setup.h"
#include "platform/qt/qt_form_runtime.h"
#include "platform/shared_areas.h"

namespace {

constexpr const char* kName = "DRAVEL_MARKS";

bool set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// While Qt connects to the display, its messages are held back; a fatal one
// (no display to be reached) ends the process with one line.
std::string held_back;

void start_up_messages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const std::string text = message.toStdString();
  if (type != QtFatalMsg) {
    if (held_back.empty()) held_back = text.substr(0, text.find('\n'));
    return;
  }
  const std::string reason = held_back.empty() ? text.substr(0, text.find('\n')) : held_back;
  std::cerr << kName << ": cannot open the display: " << reason << std::endl;
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (!set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
    std::cerr << kName << ": no display (neither DISPLAY nor WAYLAND_DISPLAY is set)" << std::endl;
    return 1;
  }
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  qInstallMessageHandler(start_up_messages);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  held_back.clear();
  vantrexo::qt::prepare_application(app);
  try {
    vrx::SqliteFileStore store(vrx::drive_from_environment());
    vantrexo::SharedAreaRegistry& areas = vantrexo::SharedAreaRegistry::process();
    vantrexo::qt::QtFormRuntime runtime(dravel::dravel_marks_description(), std::cerr);
    // Forms of other modules (the lookup component) come from the module
    // folder, beside this executable.
    runtime.set_call_form_handler(
        [](std::string_view form_name, std::string_view module_file, QWidget* parent) {
          return vantrexo::run_form(form_name, module_file, parent);
        });
    int status = 0;
    {
      // The program, and with it every data file it holds open, is gone
      // before the process ends.
      dravel::Program program(runtime, store, areas);
      status = runtime.run(program.entry());
    }
    return status;
  } catch (const std::exception& e) {
    std::cerr << kName << ": " << e.what() << std::endl;
    return 1;
  }
}
