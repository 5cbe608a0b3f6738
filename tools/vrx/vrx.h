// The vrx data tool as a library: parses the command line, runs one
// subcommand and returns the exit status (0 ok, 1 failure, 2 usage), talking
// only through the streams it is given, so that tests run it in-process.
// One call at a time per set of streams.
#ifndef TOOLS_VRX_VRX_H_
#define TOOLS_VRX_VRX_H_

#include <iosfwd>

namespace vrx::tool {

// `in` is standard input (records to load; for lock, the end of input ends
// the lock). Progress is written to `err` only when `err_is_terminal`.
int run_vrx(int argc, const char* const* argv, std::istream& in, std::ostream& out,
            std::ostream& err, bool err_is_terminal = false);

}  // namespace vrx::tool

#endif  // TOOLS_VRX_VRX_H_
