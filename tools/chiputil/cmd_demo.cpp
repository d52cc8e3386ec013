// SPDX-License-Identifier: Apache-2.0
// chiputil demo: the example line-card driver's walkthrough.
#include <cstdio>
#include <string>

#include "cli.hpp"

extern "C" int line_card_walkthrough(void);

namespace chiputil {

int run_demo(int argc, char **argv) {
  if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs("usage: chiputil demo\n"
               "\n"
               "Runs the example line-card driver against a simulated chip: registering\n"
               "register tables, field reads and writes with the accesses the chip saw,\n"
               "refused accesses with their log messages, wide registers, the trace codec,\n"
               "FMEA command parsing and the OS layer.\n",
               stdout);
    return kExitOk;
  }
  if (argc > 1) {
    return usage_error("demo", "takes no arguments");
  }
  return line_card_walkthrough() == 0 ? kExitOk : kExitRefused;
}

}  // namespace chiputil
