#include "platform/modules/module_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>

namespace vantrexo {
namespace {

std::string_view trim_right(std::string_view text) {
  const auto end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

bool ends_with_any_case(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(),
                    text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Room for a module's reason, always NUL-terminated.
class MessageBuffer {
 public:
  MessageBuffer() { text_[0] = '\0'; }
  VantrexoMessage* get() { return &message_; }
  // ": reason", or nothing when the module gave none.
  std::string suffix() const {
    text_.back() = '\0';
    return text_[0] == '\0' ? std::string() : ": " + std::string(text_.data());
  }

 private:
  mutable std::array<char, 512> text_{};
  VantrexoMessage message_{text_.data(), text_.size()};
};

}  // namespace

std::optional<std::string> module_file_name(std::string_view module_file) {
  const std::string_view name = trim_right(module_file);
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  if (ends_with_any_case(name, ".DLL")) {
    return std::string(name.substr(0, name.size() - 4)) + ".so";
  }
  if (ends_with_any_case(name, ".so")) return std::string(name);
  return std::string(name) + ".so";
}

std::filesystem::path default_module_folder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

ModuleLoader::ModuleLoader(std::filesystem::path folder) : folder_(std::move(folder)) {}

ModuleLoader::Found ModuleLoader::module(std::string_view module_file) {
  const std::optional<std::string> file = module_file_name(module_file);
  if (!file) return {nullptr, "invalid module file name " + quoted(trim_right(module_file))};
  if (auto it = loaded_.find(*file); it != loaded_.end()) return {it->second, {}};

  const std::filesystem::path path = folder_ / *file;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return {nullptr, "module file not found: " + path.string()};
  }
  // Modules stay loaded until the process ends: forms, Qt objects and
  // static data of a module may outlive any call into it.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    return {nullptr, "cannot load module " + path.string() + ": " + (why ? why : "unknown error")};
  }
  void* symbol = ::dlsym(handle, VANTREXO_MODULE_ENTRY_NAME);
  if (symbol == nullptr) {
    return {nullptr, "module " + path.string() + " has no entry point " VANTREXO_MODULE_ENTRY_NAME};
  }
  const auto entry = reinterpret_cast<VantrexoModuleEntry>(symbol);
  const VantrexoModule* description = entry();
  if (description == nullptr) {
    return {nullptr, "module " + path.string() + " gave no description of itself"};
  }
  if (description->interface_version != VANTREXO_MODULE_INTERFACE_VERSION) {
    return {nullptr, "module " + path.string() + " was built for module interface version " +
                         std::to_string(description->interface_version) +
                         ", this program needs version " +
                         std::to_string(VANTREXO_MODULE_INTERFACE_VERSION)};
  }
  loaded_.emplace(*file, description);
  return {description, {}};
}

ModuleLoader::FoundForm ModuleLoader::form(std::string_view form_name,
                                           std::string_view module_file) {
  const Found found = module(module_file);
  if (found.module == nullptr) return {nullptr, found.error};
  const std::string_view name = trim_right(form_name);
  const VantrexoModule& m = *found.module;
  for (std::size_t i = 0; m.forms != nullptr && i < m.form_count; ++i) {
    if (m.forms[i].name != nullptr && m.forms[i].name == name) return {&m.forms[i], {}};
  }
  return {nullptr, "form " + quoted(name) + " not found in module " +
                       (folder_ / *module_file_name(module_file)).string()};
}

std::optional<std::string> ModuleLoader::run_form(std::string_view form_name,
                                                  std::string_view module_file, void* parent) {
  const FoundForm found = form(form_name, module_file);
  if (found.form == nullptr) return found.error;
  const VantrexoFormClass& form_class = *found.form;
  const std::string what =
      "form " + quoted(trim_right(form_name)) + " of module " + quoted(trim_right(module_file));
  if (form_class.create == nullptr || form_class.do_modal == nullptr) {
    return what + " cannot be run modally";
  }
  MessageBuffer message;
  VantrexoForm* instance = form_class.create(parent, message.get());
  if (instance == nullptr) return what + " could not be opened" + message.suffix();
  std::int32_t result = 0;
  const int rc = form_class.do_modal(instance, &result, message.get());
  if (form_class.destroy != nullptr) form_class.destroy(instance);
  if (rc < 0) return what + " failed" + message.suffix();
  return std::nullopt;
}

ModuleLoader& process_module_loader() {
  static ModuleLoader loader(default_module_folder());
  return loader;
}

std::optional<std::string> run_form(std::string_view form_name, std::string_view module_file,
                                    void* parent) {
  return process_module_loader().run_form(form_name, module_file, parent);
}

}  // namespace vantrexo
