// vrx: the command-line data tool of the indexed files.
#include <unistd.h>

#include <iostream>

#include "tools/vrx/vrx.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return vrx::tool::run_vrx(argc, argv, std::cin, std::cout, std::cerr, isatty(2) == 1);
}
