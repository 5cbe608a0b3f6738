// The interface every separately loaded module of the system offers: one
// plain C entry point, `vantrexo_module`, that describes the module: the
// version of this interface it was built against and the form classes it
// has, each with the operations it offers. Plain C so that a module built
// by another compiler or at another time can be loaded without sharing C++
// types; nothing thrown may leave a module through it.
//
// A form runs on a parent window given as an opaque pointer: a QWidget* in
// this system's Qt runtime, null for none. Modules share the process: its
// Qt application, its shared-area registry, its indexed file engine.
//
// The loader reads `interface_version` first and refuses a module whose
// version differs from its own; that field never moves. Any other change to
// these structures or to what their operations mean raises the version.
//
// Threading: every operation is called on the user-interface thread.
#ifndef PLATFORM_MODULES_MODULE_INTERFACE_H_
#define PLATFORM_MODULES_MODULE_INTERFACE_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VANTREXO_MODULE_INTERFACE_VERSION 1u
#define VANTREXO_MODULE_ENTRY_NAME "vantrexo_module"

#if defined(__GNUC__)
#define VANTREXO_MODULE_EXPORT __attribute__((visibility("default")))
#else
#define VANTREXO_MODULE_EXPORT
#endif

// Where an operation that fails says why: a NUL-terminated UTF-8 text of at
// most size - 1 bytes written into `text`. Either pointer may be null.
typedef struct VantrexoMessage {
  char* text;
  size_t size;
} VantrexoMessage;

// One open instance of a form, opaque to everyone but its module.
typedef struct VantrexoForm VantrexoForm;

// Operations return 0 on success and a negative value on failure (with the
// reason in `message`). An operation a form class does not offer is null.
typedef struct VantrexoFormClass {
  // The form's name as callers give it, e.g. "99-Qrv_Tabelas".
  const char* name;

  // Makes an instance on `parent` (may be null), not yet shown. Null on
  // failure.
  VantrexoForm* (*create)(void* parent, VantrexoMessage* message);
  // Shows the form modally and returns when it has closed (and, for a form
  // program, when its closed event has run). On success `*result` (when not
  // null) gets what the form ended with: 1 chosen, 0 closed without a choice.
  int (*do_modal)(VantrexoForm* form, int32_t* result, VantrexoMessage* message);
  // Shows the form and brings it to the front without waiting.
  int (*activate)(VantrexoForm* form, VantrexoMessage* message);
  // Hides the form.
  int (*deactivate)(VantrexoForm* form, VantrexoMessage* message);
  // The form as a whole enabled (non-zero) or disabled (0).
  int (*set_enabled)(VantrexoForm* form, int enabled, VantrexoMessage* message);
  int (*enabled)(VantrexoForm* form);
  // Ends the instance; `form` may be null.
  void (*destroy)(VantrexoForm* form);
} VantrexoFormClass;

typedef struct VantrexoModule {
  // VANTREXO_MODULE_INTERFACE_VERSION as the module was built. Always first.
  uint32_t interface_version;
  // The module's own name, for messages.
  const char* name;
  size_t form_count;
  const VantrexoFormClass* forms;
} VantrexoModule;

// The entry point: a description that lives as long as the module is loaded.
typedef const VantrexoModule* (*VantrexoModuleEntry)(void);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // PLATFORM_MODULES_MODULE_INTERFACE_H_
