// dravel-script: runs the form program DRAVEL_MARKS from a script read on
// stdin, without a display, and writes what the operator would have seen to
// stdout. Exit status 0 when the form ended normally, 2 for a script line
// that cannot be read, 3 when a Yes/No box found no answer queued.
#include <exception>
#include <iostream>

#include "app/program.h"
#include "form/form_description.h"
#include "platform/files/sqlite_store.h"
#include "platform/script/script_runtime.h"
#include "platform/shared_areas.h"

int main() {
  try {
    vrx::SqliteFileStore store(vrx::drive_from_environment());
    vantrexo::SharedAreaRegistry& areas = vantrexo::SharedAreaRegistry::process();
    vantrexo::script::ScriptRuntime runtime(dravel::dravel_marks_description(), areas, std::cout,
                                            std::cerr);
    int status = 0;
    {
      // The program, and with it every data file it holds open, is gone
      // before the process ends, whatever stopped the run.
      dravel::Program program(runtime, store, areas);
      status = runtime.run(program.entry(), std::cin);
    }
    return status;
  } catch (const std::exception& e) {
    std::cerr << "dravel-script: " << e.what() << std::endl;
    return 1;
  }
}
