// The module "999999-Quervilos": the system's lookup component. Its one form,
// "99-Qrv_Tabelas", is the modal lookup list; it runs on the process's Qt
// application and reaches L-LINK through the process's shared-area registry.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <exception>
#include <memory>

#include "modules/quervilos/lookup_dialog.h"
#include "platform/files/sqlite_store.h"
#include "platform/modules/module_interface.h"
#include "platform/shared_areas.h"

struct VantrexoForm {
  std::unique_ptr<quervilos::LookupDialog> dialog;
};

namespace {

void say(VantrexoMessage* message, const char* text) {
  if (message != nullptr && message->text != nullptr && message->size > 0) {
    std::snprintf(message->text, message->size, "%s", text);
  }
}

VantrexoForm* create(void* parent, VantrexoMessage* message) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    say(message, "no Qt Widgets application is running in this process");
    return nullptr;
  }
  try {
    auto form = std::make_unique<VantrexoForm>();
    form->dialog = std::make_unique<quervilos::LookupDialog>(
        static_cast<QWidget*>(parent), vantrexo::SharedAreaRegistry::process(),
        vrx::drive_from_environment());
    return form.release();
  } catch (const std::exception& e) {
    say(message, e.what());
  } catch (...) {
    say(message, "unexpected failure");
  }
  return nullptr;
}

int do_modal(VantrexoForm* form, int32_t* result, VantrexoMessage* message) {
  if (form == nullptr || !form->dialog) {
    say(message, "no form");
    return -1;
  }
  try {
    const int outcome = form->dialog->exec();
    if (result != nullptr) *result = outcome == QDialog::Accepted ? 1 : 0;
    return 0;
  } catch (const std::exception& e) {
    say(message, e.what());
  } catch (...) {
    say(message, "unexpected failure");
  }
  return -1;
}

void destroy(VantrexoForm* form) { delete form; }

const VantrexoFormClass kForms[] = {
    {"99-Qrv_Tabelas", create, do_modal, nullptr, nullptr, nullptr, nullptr, destroy},
};

const VantrexoModule kModule = {VANTREXO_MODULE_INTERFACE_VERSION, "999999-Quervilos",
                                sizeof kForms / sizeof kForms[0], kForms};

}  // namespace

extern "C" VANTREXO_MODULE_EXPORT const VantrexoModule* vantrexo_module(void) { return &kModule; }
