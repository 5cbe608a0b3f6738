#include "tools/vrx/command_support.h"

#include <ostream>

#include "data/catalogue.h"
#include "platform/files/sqlite_store.h"

namespace vrx::tool {

std::filesystem::path CommandContext::drive() const {
  if (!drive_option.empty()) return drive_option;
  return drive_from_environment();
}

std::filesystem::path CommandContext::data_path(const FileDescription& description) const {
  return map_catalogue_path(description.catalogue_path, drive());
}

int CommandContext::report(std::string_view name, std::string_view message, int exit_code) const {
  // A message of several lines (SQLite's integrity check gives some) becomes
  // several diagnostics, each in the usual form.
  bool written = false;
  while (!message.empty()) {
    const std::size_t end = message.find('\n');
    const std::string_view line = message.substr(0, end);
    if (!line.empty()) {
      err << "vrx: " << name << ": " << line << '\n';
      written = true;
    }
    message = end == std::string_view::npos ? std::string_view{} : message.substr(end + 1);
  }
  if (!written) err << "vrx: " << name << ": failed\n";
  err << std::flush;
  return exit_code;
}

int CommandContext::report(std::string_view message, int exit_code) const {
  err << "vrx: " << message << '\n' << std::flush;
  return exit_code;
}

std::string valid_file_names() {
  std::string names;
  for (const FileDescription& d : dravel::catalogue()) {
    if (!names.empty()) names += ", ";
    names += d.name;
  }
  return names;
}

const FileDescription* find_named_file(const CommandContext& context, std::string_view name) {
  const FileDescription* description = dravel::find_file(name);
  if (description == nullptr) {
    context.report(name, "unknown file name; valid names: " + valid_file_names(), kExitUsage);
  }
  return description;
}

}  // namespace vrx::tool
