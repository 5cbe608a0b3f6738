// Runs a form of another module, found by the module file name a program
// gives ("999999-Quervilos.DLL"): the name's ".DLL" becomes ".so", its case
// is kept, and the file is looked for in the module folder. A module is
// loaded once (dlopen) and stays loaded until the process ends; its
// interface version is checked before anything else of it is used.
//
// Every failure comes back as a text that names what is missing: the
// module file, its entry point, the version it was built for, the form.
//
// Threading: the user-interface thread only (a form runs modally on it). A
// form running modally may itself run a form of another module.
#ifndef PLATFORM_MODULES_MODULE_LOADER_H_
#define PLATFORM_MODULES_MODULE_LOADER_H_

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/modules/module_interface.h"

namespace vantrexo {

// The file name for a module file name as a program gives it, trailing
// spaces removed: ".DLL" (any case) replaced by ".so", no extension given
// ".so" added. Nothing for a name that is empty or is not a plain file name
// (a folder part, "." or "..", a NUL).
std::optional<std::string> module_file_name(std::string_view module_file);

// The folder of the running executable, where the build puts the modules.
std::filesystem::path default_module_folder();

class ModuleLoader {
 public:
  explicit ModuleLoader(std::filesystem::path folder);
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  const std::filesystem::path& folder() const { return folder_; }

  // The module's description, loading it on first use; or the reason why
  // there is none. A module that failed to load is tried again next time.
  struct Found {
    const VantrexoModule* module = nullptr;
    std::string error;
  };
  Found module(std::string_view module_file);

  // The form class of that name in the module, or the reason why none.
  struct FoundForm {
    const VantrexoFormClass* form = nullptr;
    std::string error;
  };
  FoundForm form(std::string_view form_name, std::string_view module_file);

  // Creates the form on `parent` (a QWidget*, or null), runs it modally
  // and ends it. Nothing when it ran, else the failure.
  std::optional<std::string> run_form(std::string_view form_name, std::string_view module_file,
                                      void* parent);

 private:
  std::filesystem::path folder_;
  // File name -> description of each module loaded.
  std::map<std::string, const VantrexoModule*, std::less<>> loaded_;
};

// The process's loader, over default_module_folder().
ModuleLoader& process_module_loader();

// The call-form service: runs the form through the process's loader.
std::optional<std::string> run_form(std::string_view form_name, std::string_view module_file,
                                    void* parent);

}  // namespace vantrexo

#endif  // PLATFORM_MODULES_MODULE_LOADER_H_
