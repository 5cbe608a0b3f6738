// What every subcommand of vrx shares: the streams it talks through, the
// drive it works under, the exit codes, and the lookup of a logical file
// name in the catalogue with the diagnostics that go with it.
//
// Diagnostics go to the error stream as "vrx: NAME: message" (or "vrx:
// message" when no file is concerned); data go to the output stream only.
// One CommandContext serves one run of the tool, on one thread.
#ifndef TOOLS_VRX_COMMAND_SUPPORT_H_
#define TOOLS_VRX_COMMAND_SUPPORT_H_

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/indexed_file.h"

namespace vrx::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CommandContext {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // Progress reports are written only when the error stream is a terminal.
  bool err_is_terminal = false;
  // --drive; when empty the drive comes from the environment.
  std::string drive_option;

  std::filesystem::path drive() const;
  // Where the file of that description lies under the drive.
  std::filesystem::path data_path(const FileDescription& description) const;

  // "vrx: NAME: message" on the error stream, one such line per line of the
  // message; returns `exit_code`.
  int report(std::string_view name, std::string_view message, int exit_code) const;
  // "vrx: message" on the error stream; returns `exit_code`.
  int report(std::string_view message, int exit_code) const;
};

// The catalogue entry of that logical name; for an unknown name, a usage
// message listing the valid names has been written and nothing is returned.
const FileDescription* find_named_file(const CommandContext& context, std::string_view name);

// The valid logical names, comma-separated, in catalogue order.
std::string valid_file_names();

}  // namespace vrx::tool

#endif  // TOOLS_VRX_COMMAND_SUPPORT_H_
