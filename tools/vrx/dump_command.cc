#include "tools/vrx/dump_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>
#include <string>

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
  std::size_t key = 0;
  const std::string& text = options.key;
  const bool digits = !text.empty() && text.size() <= 3 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  if (digits) key = std::stoul(text);
  if (!digits || key >= description->keys.size()) {
    return context.report(
        description->name,
        "no key " + text + "; the keys are 0 to " + std::to_string(description->keys.size() - 1),
        kExitUsage);
  }
  const std::filesystem::path path = context.data_path(*description);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return context.report(description->name, "no file at " + path.string(), kExitFailure);
  }
  const AdminResult result = dump_records(path, *description, key, context.out);
  context.out.flush();
  if (!result.ok) return context.report(description->name, result.message, kExitFailure);
  if (!context.out) {
    return context.report(description->name, "cannot write to standard output", kExitFailure);
  }
  return kExitOk;
}

}  // namespace vrx::tool
