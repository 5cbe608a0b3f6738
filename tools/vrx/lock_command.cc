#include "tools/vrx/lock_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/files/sqlite_store.h"
#include "platform/text/cp1252.h"

namespace vrx::tool {
namespace {

std::string status_text(FileStatus status) {
  std::string text = "status ";
  text += status.code();
  return text;
}

std::string open_failure(FileStatus status) {
  const std::string_view code = status.code();
  std::string why = "cannot open for input-output";
  if (code == "35") why += ": the file does not exist";
  if (code == "37") why += ": not a file, or no permission to write it";
  if (code == "30") why += ": the file is damaged or not an indexed file";
  if (code == "39") why += ": the file does not match the catalogue";
  return why + " (" + status_text(status) + ")";
}

}  // namespace

CLI::App* setup_lock(CLI::App& app, LockOptions& options) {
  CLI::App* sub = app.add_subcommand(
      "lock",
      "Lock one record as another program would, print \"locked\", and hold the lock until "
      "standard input ends");
  sub->add_option("NAME", options.name, "Logical name of the file (" + valid_file_names() + ")")
      ->required();
  sub->add_option("KEY", options.key, "Primary key of the record, filled out with spaces")
      ->required();
  return sub;
}

int run_lock(const LockOptions& options, const CommandContext& context) {
  const FileDescription* description = find_named_file(context, options.name);
  if (description == nullptr) return kExitUsage;
  const KeyDescription& primary = description->keys.at(0);

  const std::optional<std::string> key = vantrexo::utf8_to_cp1252(options.key);
  if (!key) {
    return context.report(
        description->name,
        "key \"" + options.key + "\" is not UTF-8 text that Windows-1252 can hold", kExitUsage);
  }
  if (key->size() > primary.length) {
    return context.report(description->name,
                          "key \"" + options.key + "\" is longer than the key's " +
                              std::to_string(primary.length) + " characters",
                          kExitUsage);
  }

  SqliteFileStore store(context.drive());
  OpenResult opened = store.open(*description, OpenMode::input_output);
  if (!opened.status.ok()) {
    return context.report(description->name, open_failure(opened.status), kExitFailure);
  }

  std::vector<char> area(description->record_length, '\0');
  std::fill_n(area.begin() + static_cast<std::ptrdiff_t>(primary.offset), primary.length, ' ');
  std::copy(key->begin(), key->end(), area.begin() + static_cast<std::ptrdiff_t>(primary.offset));

  const FileStatus read = opened.file->read(area);
  if (!read.ok()) {
    opened.file->close();
    const std::string quoted = "\"" + options.key + "\"";
    if (read.not_found()) {
      return context.report(description->name,
                            "no record with key " + quoted + " (" + status_text(read) + ")",
                            kExitFailure);
    }
    if (read.locked()) {
      return context.report(
          description->name,
          "record " + quoted + " is locked by another program (" + status_text(read) + ")",
          kExitFailure);
    }
    return context.report(description->name,
                          "cannot read record " + quoted + " (" + status_text(read) + ")",
                          kExitFailure);
  }

  context.out << "locked\n" << std::flush;
  // Hold the lock until the other end closes our input.
  context.in.ignore(std::numeric_limits<std::streamsize>::max());
  opened.file->close();
  return kExitOk;
}

}  // namespace vrx::tool
