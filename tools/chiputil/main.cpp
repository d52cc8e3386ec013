// SPDX-License-Identifier: Apache-2.0
// chiputil: the line-card engineer's companion to libchip_util.
#include <cstdio>
#include <cstring>
#include <string>

#include <chip_util/version.h>

#include "cli.hpp"
#include "text.hpp"

namespace {

constexpr const char *kHelp =
    "usage: chiputil COMMAND [OPTIONS] [ARGS]\n"
    "       chiputil --help | --version\n"
    "\n"
    "Everyday chip bring-up tasks, done by libchip_util itself.\n"
    "\n"
    "commands:\n"
    "  j0 encode [--len 16|64|1|0] TEXT   J0/J1 transmit pattern of a trace text, as hex\n"
    "  j0 decode [--json] HEX             trace length and text of 64 received bytes\n"
    "  crc7 HEX | --text TEXT             CRC-7 of a 16-byte trace frame\n"
    "  fmea [--json] COMMAND              options and dfx list of an FMEA debug command\n"
    "  field get|set [--json] --start N --bits N --reg-bytes N REGHEX [FIELDHEX]\n"
    "                                     read or write a field of a register image\n"
    "  map check|gen|show FILE            check a register map, generate its C table, show it\n"
    "  reg read|write|dump|watch --bus BUS [--map MAP] ...\n"
    "                                     registers of a chip in this machine (or simulated)\n"
    "  demo                               the example line-card driver walkthrough\n"
    "\n"
    "options:\n"
    "  -h, --help                         print this help and exit\n"
    "  -V, --version                      print the versions of chiputil and of the\n"
    "                                     libchip_util it runs with, and exit\n"
    "\n"
    "'chiputil COMMAND --help' describes each command.\n"
    "Exit status: 0 done, 1 input refused by the library, 2 bad usage.\n";

struct Subcommand {
  const char *name;
  int (*run)(int, char **);
};

constexpr Subcommand kSubcommands[] = {
    {"j0", chiputil::run_j0},       {"crc7", chiputil::run_crc7}, {"fmea", chiputil::run_fmea},
    {"field", chiputil::run_field}, {"map", chiputil::run_map},   {"reg", chiputil::run_reg},
    {"demo", chiputil::run_demo},
};

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs(kHelp, stderr);
    return chiputil::kExitUsage;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return chiputil::kExitOk;
  }
  if (command == "--version" || command == "-V") {
    // The tool's own version, then the library's: they differ when the
    // installed libchip_util is not the one chiputil was built with.
    std::printf("chiputil %s\nlibchip_util %s\nLicense: Apache-2.0\n", CHIP_UTIL_VERSION_STRING,
                chip_util_version_string());
    return chiputil::kExitOk;
  }
  for (const Subcommand &sub : kSubcommands) {
    if (command == sub.name) {
      return sub.run(argc - 1, argv + 1);
    }
  }
  std::fprintf(stderr,
               "chiputil: unknown command %s (expected j0, crc7, fmea, field, map, reg or demo; "
               "see 'chiputil --help')\n",
               chiputil::quoted(command).c_str());
  return chiputil::kExitUsage;
}
