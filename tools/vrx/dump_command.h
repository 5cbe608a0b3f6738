// vrx dump NAME [--key N]: every record of the file in the order of key N,
// concatenated without separators: the format that vrx load reads.
#ifndef TOOLS_VRX_DUMP_COMMAND_H_
#define TOOLS_VRX_DUMP_COMMAND_H_

#include <cstddef>
#include <string>

#include "tools/vrx/command_support.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct DumpOptions {
  std::string name;
  std::string key = "0";  // as typed: a key number of the file
};

CLI::App* setup_dump(CLI::App& app, DumpOptions& options);
int run_dump(const DumpOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_DUMP_COMMAND_H_
