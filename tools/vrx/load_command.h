// vrx load NAME [FILE]: adds fixed-length records, concatenated without
// separators, from FILE or standard input to the file, creating it when
// absent. The load is one transaction: a short final record or a duplicate
// primary or unique alternate key rejects it whole and names the record.
#ifndef TOOLS_VRX_LOAD_COMMAND_H_
#define TOOLS_VRX_LOAD_COMMAND_H_

#include <string>

#include "tools/vrx/command_support.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct LoadOptions {
  std::string name;
  std::string input;  // empty or "-": standard input
};

CLI::App* setup_load(CLI::App& app, LoadOptions& options);
int run_load(const LoadOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_LOAD_COMMAND_H_
