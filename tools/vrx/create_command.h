// vrx create NAME | vrx create --all: empty indexed files at their catalogue
// paths, folders included. An existing file is never touched.
#ifndef TOOLS_VRX_CREATE_COMMAND_H_
#define TOOLS_VRX_CREATE_COMMAND_H_

#include <string>

#include "tools/vrx/command_support.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct CreateOptions {
  std::string name;
  bool all = false;
};

CLI::App* setup_create(CLI::App& app, CreateOptions& options);
int run_create(const CreateOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_CREATE_COMMAND_H_
