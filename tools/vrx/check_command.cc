#include "tools/vrx/check_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <vector>

#include "platform/files/sqlite_store.h"

namespace vrx::tool {

CLI::App* setup_check(CLI::App& app, CheckOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "check", "Verify a file: integrity, record lengths, keys and its description");
  sub->add_option("NAME", options.name, "Logical name of the file (" + valid_file_names() + ")")
      ->required();
  return sub;
}

int run_check(const CheckOptions& options, const CommandContext& context) {
  const FileDescription* description = find_named_file(context, options.name);
  if (description == nullptr) return kExitUsage;
  const std::filesystem::path path = context.data_path(*description);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return context.report(description->name, "no file at " + path.string(), kExitFailure);
  }
  std::vector<std::string> problems;
  const AdminResult result = check_file(path, *description, problems);
  for (const std::string& problem : problems) {
    context.report(description->name, problem, kExitFailure);
  }
  if (!result.ok && problems.empty()) {
    return context.report(description->name, result.message, kExitFailure);
  }
  return result.ok && problems.empty() ? kExitOk : kExitFailure;
}

}  // namespace vrx::tool
