#include "tools/vrx/create_command.h"

#include <CLI/CLI.hpp>

#include "data/catalogue.h"
#include "platform/files/sqlite_store.h"

namespace vrx::tool {

CLI::App* setup_create(CLI::App& app, CreateOptions& options) {
  CLI::App* sub = app.add_subcommand("create", "Create empty files at their catalogue paths");
  sub->add_option("NAME", options.name, "Logical name of the file (" + valid_file_names() + ")");
  sub->add_flag("--all", options.all, "Create all six files");
  return sub;
}

int run_create(const CreateOptions& options, const CommandContext& context) {
  if (options.all == !options.name.empty()) {
    return context.report("create: give either a file NAME or --all", kExitUsage);
  }
  if (options.all) {
    int result = kExitOk;
    for (const FileDescription& description : dravel::catalogue()) {
      const AdminResult created = create_file(context.data_path(description), description);
      if (!created.ok) result = context.report(description.name, created.message, kExitFailure);
    }
    return result;
  }
  const FileDescription* description = find_named_file(context, options.name);
  if (description == nullptr) return kExitUsage;
  const AdminResult created = create_file(context.data_path(*description), *description);
  if (!created.ok) return context.report(description->name, created.message, kExitFailure);
  return kExitOk;
}

}  // namespace vrx::tool
