#include "tools/vrx/dump_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

#include "platform/files/sqlite_store.h"

namespace vrx::tool {

CLI::App* setup_dump(CLI::App& app, DumpOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "dump", "Write every record of a file to standard output, concatenated, in key order");
  sub->add_option("NAME", options.name, "Logical name of the file (" + valid_file_names() + ")")
      ->required();
  sub->add_option("--key", options.key, "Key number to order by (0: primary key)")
      ->capture_default_str();
  return sub;
}

int run_dump(const DumpOptions& options, const CommandContext& context) {
  const FileDescription* description = find_named_file(context, options.name);
  if (description == nullptr) return kExitUsage;
  if (options.key >= description->keys.size()) {
    return context.report(description->name,
                          "no key " + std::to_string(options.key) + "; the keys are 0 to " +
                              std::to_string(description->keys.size() - 1),
                          kExitUsage);
  }
  const std::filesystem::path path = context.data_path(*description);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return context.report(description->name, "no file at " + path.string(), kExitFailure);
  }
  const AdminResult result = dump_records(path, *description, options.key, context.out);
  context.out.flush();
  if (!result.ok) return context.report(description->name, result.message, kExitFailure);
  if (!context.out) {
    return context.report(description->name, "cannot write to standard output", kExitFailure);
  }
  return kExitOk;
}

}  // namespace vrx::tool
