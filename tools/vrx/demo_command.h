// vrx demo: a small data set of all six files under the drive, made with the
// data generator, and a summary of it on the output stream. Existing files
// make it fail unless --force, which replaces them.
#ifndef TOOLS_VRX_DEMO_COMMAND_H_
#define TOOLS_VRX_DEMO_COMMAND_H_

#include "tools/vrx/command_support.h"
#include "tools/vrx/data_generator.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct DemoOptions {
  DataSetPlan plan = demo_plan();
};

CLI::App* setup_demo(CLI::App& app, DemoOptions& options);
int run_demo(const DemoOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_DEMO_COMMAND_H_
