#include "tools/vrx/vrx.h"

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>

#include "tools/vrx/check_command.h"
#include "tools/vrx/command_support.h"
#include "tools/vrx/create_command.h"
#include "tools/vrx/demo_command.h"
#include "tools/vrx/dump_command.h"
#include "tools/vrx/load_command.h"
#include "tools/vrx/lock_command.h"

namespace vrx::tool {

int run_vrx(int argc, const char* const* argv, std::istream& in, std::ostream& out,
            std::ostream& err, bool err_is_terminal) {
  CommandContext context{in, out, err, err_is_terminal, {}};

  CLI::App app("vrx: creates, loads, dumps, checks and locks the indexed data files", "vrx");
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--drive", context.drive_option,
                 "Folder that stands for the drive's root (default: $VANTREXO_DRIVE, else /)");

  CreateOptions create;
  LoadOptions load;
  DumpOptions dump;
  CheckOptions check;
  LockOptions lock;
  DemoOptions demo;
  CLI::App* create_app = setup_create(app, create);
  CLI::App* load_app = setup_load(app, load);
  CLI::App* dump_app = setup_dump(app, dump);
  CLI::App* check_app = setup_check(app, check);
  CLI::App* lock_app = setup_lock(app, lock);
  CLI::App* demo_app = setup_demo(app, demo);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    err << "vrx: " << e.what() << "\nRun with --help for more information.\n" << std::flush;
    return kExitUsage;
  }

  if (create_app->parsed()) return run_create(create, context);
  if (load_app->parsed()) return run_load(load, context);
  if (dump_app->parsed()) return run_dump(dump, context);
  if (check_app->parsed()) return run_check(check, context);
  if (lock_app->parsed()) return run_lock(lock, context);
  if (demo_app->parsed()) return run_demo(demo, context);
  return kExitUsage;
}

}  // namespace vrx::tool
