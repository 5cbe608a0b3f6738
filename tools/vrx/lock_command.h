// vrx lock NAME KEY: holds the lock on one record as another program of the
// system would: opens the file for input-output, reads the record whose
// primary key is KEY (UTF-8 on the command line, stored as Windows-1252,
// filled out with spaces to the key's length), writes "locked" and keeps
// the lock until the input stream ends or the process is ended.
#ifndef TOOLS_VRX_LOCK_COMMAND_H_
#define TOOLS_VRX_LOCK_COMMAND_H_

#include <string>

#include "tools/vrx/command_support.h"

namespace CLI {
class App;
}

namespace vrx::tool {

struct LockOptions {
  std::string name;
  std::string key;
};

CLI::App* setup_lock(CLI::App& app, LockOptions& options);
int run_lock(const LockOptions& options, const CommandContext& context);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_LOCK_COMMAND_H_
