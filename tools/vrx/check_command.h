// vrx check NAME: verifies a file; each problem found is one line
// "vrx: NAME: problem" on the error stream.
#ifndef TOOLS_VRX_CHECK_COMMAND_H_
#define TOOLS_VRX_CHECK_COMMAND_H_

#include <string>

#include "tools/vrx/command_support.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct CheckOptions {
  std::string name;
};

CLI::App* setup_check(CLI::App& app, CheckOptions& options);
int run_check(const CheckOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_CHECK_COMMAND_H_
