// Small modules for the loader's tests, without a window. Built several
// times: as it is (form "Sonda", which writes "OK!" into LK-CODIGO of the
// process's L-LINK), built for an older interface version
// (PROBE_INTERFACE_VERSION), and without an entry point (PROBE_NO_ENTRY).
#include <cstdio>

#include "platform/modules/module_interface.h"
#include "platform/shared_areas.h"

#ifndef PROBE_INTERFACE_VERSION
#define PROBE_INTERFACE_VERSION VANTREXO_MODULE_INTERFACE_VERSION
#endif

struct VantrexoForm {
  void* parent;
};

namespace {

VantrexoForm* create(void* parent, VantrexoMessage*) { return new VantrexoForm{parent}; }

int do_modal(VantrexoForm* form, int32_t* result, VantrexoMessage*) {
  auto link = vantrexo::SharedAreaRegistry::process().attach("L-LINK", 332);
  if (link.size() < 332) return -1;
  link[22] = 'O';
  link[23] = 'K';
  link[24] = '!';
  if (result != nullptr) *result = form->parent != nullptr ? 1 : 0;
  return 0;
}

int refuse(VantrexoForm*, int32_t*, VantrexoMessage* message) {
  std::snprintf(message->text, message->size, "%s", "the probe refuses");
  return -1;
}

void destroy(VantrexoForm* form) { delete form; }

const VantrexoFormClass kForms[] = {
    {"Sonda", create, do_modal, nullptr, nullptr, nullptr, nullptr, destroy},
    {"Recusa", create, refuse, nullptr, nullptr, nullptr, nullptr, destroy},
};

const VantrexoModule kModule = {PROBE_INTERFACE_VERSION, "probe", 2, kForms};

}  // namespace

#ifndef PROBE_NO_ENTRY
extern "C" VANTREXO_MODULE_EXPORT const VantrexoModule* vantrexo_module(void) { return &kModule; }
#else
extern "C" VANTREXO_MODULE_EXPORT const VantrexoModule* other_entry(void) { return &kModule; }
#endif
