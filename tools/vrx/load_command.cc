#include "tools/vrx/load_command.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include "platform/files/sqlite_store.h"

namespace vrx::tool {

CLI::App* setup_load(CLI::App& app, LoadOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "load",
      "Add fixed-length records (concatenated, no separators) to a file, in one transaction");
  sub->add_option("NAME", options.name, "Logical name of the file (" + valid_file_names() + ")")
      ->required();
  sub->add_option("FILE", options.input, "Records to add; standard input when absent or \"-\"");
  return sub;
}

int run_load(const LoadOptions& options, const CommandContext& context) {
  const FileDescription* description = find_named_file(context, options.name);
  if (description == nullptr) return kExitUsage;

  std::ifstream file;
  std::istream* in = &context.in;
  if (!options.input.empty() && options.input != "-") {
    file.open(options.input, std::ios::binary);
    if (!file) {
      return context.report(description->name,
                            "cannot read " + options.input + ": " + std::strerror(errno),
                            kExitFailure);
    }
    in = &file;
  }

  LoadProgress progress;
  if (context.err_is_terminal) {
    progress = [&](std::size_t records) {
      context.err << "\rvrx: " << description->name << ": " << records << " records" << std::flush;
    };
  }
  std::size_t loaded = 0;
  const AdminResult result =
      load_records(context.data_path(*description), *description, *in, loaded, progress);
  if (context.err_is_terminal) {
    context.err << "\r\x1b[K" << std::flush;  // clear the progress line
  }
  if (!result.ok) return context.report(description->name, result.message, kExitFailure);
  if (context.err_is_terminal) {
    context.err << "vrx: " << description->name << ": " << loaded << " records loaded\n";
  }
  return kExitOk;
}

}  // namespace vrx::tool
