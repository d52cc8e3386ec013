// SPDX-License-Identifier: Apache-2.0
// chiputil fmea: what the library finds in an FMEA debug command.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "fmea_notes.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

constexpr const char *kHelp =
    "usage: chiputil fmea [--json] COMMAND\n"
    "\n"
    "Prints every option of an FMEA debug command string with its four numbers\n"
    "(addr, mask, val, cmp_val), then the numbers of its dfx list, e.g.\n"
    "  chiputil fmea 'read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]'\n"
    "Options: read, read_his, positive, neo, wc, rc, inject, inject_undo.\n"
    "--json prints {\"options\": [{\"type\": N, \"name\": ..., \"addr\": N, ...}], \"dfx\": [...]}.\n"
    "Notes on standard error name what the result leaves out: each parameter written in\n"
    "an option that could not be read (it shows as 0), repeated keys and options (only\n"
    "the first counts), a dfx list without its ']', and decimal numbers of a dfx list\n"
    "that also holds 0x numbers (only those count).\n"
    "Exit status 1 when the command holds no option and no dfx list.\n";

constexpr const auto &kOptionNames = kFmeaOptionNames;
constexpr size_t kOptionCount = sizeof kOptionNames / sizeof kOptionNames[0];

std::vector<uint32_t> dfx_list(const char *command) {
  std::vector<uint32_t> numbers(drv_fmea_parse_dfx_num(command));
  if (!numbers.empty()) {
    numbers.resize(drv_fmea_parse_dfx(command, static_cast<uint32_t>(numbers.size()), numbers.data()));
  }
  return numbers;
}

bool has_dfx_option(const char *command) {
  char *text = drv_fmea_get_opt_string(command, "dfx");
  const bool present = text != nullptr;
  hdk_free(text);
  return present;
}

void print_text(const drv_fmea_opt (&set)[kOptionCount], const std::vector<uint32_t> &dfx,
                bool dfx_present) {
  for (size_t i = 0; i < kOptionCount; ++i) {
    if (set[i].valid != 0) {
      std::printf("%-12s addr=0x%x mask=0x%x val=0x%x cmp_val=0x%x\n", kOptionNames[i], set[i].addr,
                  set[i].mask, set[i].val, set[i].cmp_val);
    }
  }
  if (dfx_present) {
    std::printf("%-12s", "dfx");
    for (const uint32_t number : dfx) {
      std::printf(" %u", number);
    }
    std::printf("%s\n", dfx.empty() ? " (no numbers)" : "");
  }
}

void print_json(const drv_fmea_opt (&set)[kOptionCount], const std::vector<uint32_t> &dfx) {
  std::printf("{\"options\": [");
  const char *separator = "";
  for (size_t i = 0; i < kOptionCount; ++i) {
    if (set[i].valid != 0) {
      std::printf("%s{\"type\": %zu, \"name\": %s, \"addr\": %u, \"mask\": %u, \"val\": %u, "
                  "\"cmp_val\": %u}",
                  separator, i + 1, json_string(kOptionNames[i]).c_str(), set[i].addr, set[i].mask,
                  set[i].val, set[i].cmp_val);
      separator = ", ";
    }
  }
  std::printf("], \"dfx\": [");
  for (size_t i = 0; i < dfx.size(); ++i) {
    std::printf("%s%u", i == 0 ? "" : ", ", dfx[i]);
  }
  std::printf("]}\n");
}

}  // namespace

int run_fmea(int argc, char **argv) {
  const std::string command = "fmea";
  const ParsedOptions options = parse_options(argc, argv, {{"json", false}});
  if (options.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!options.error.empty()) {
    return usage_error(command, options.error);
  }
  if (options.operands.size() != 1) {
    return usage_error(command, "expected one COMMAND argument (quote it for the shell)");
  }
  const char *text = options.operands[0].c_str();
  drv_fmea_opt set[kOptionCount] = {};
  const uint32_t found = drv_fmea_parse_opt_set(text, set);
  const bool dfx_present = has_dfx_option(text);
  const std::vector<uint32_t> dfx = dfx_list(text);
  for (const std::string &message : fmea_command_notes(text)) {
    note(command, message);
  }
  if (found == 0 && !dfx_present) {
    return refused(command, "no option found (expected e.g. read[addr=0x10] or dfx[1,2])");
  }
  if (options.has("json")) {
    print_json(set, dfx);
  } else {
    print_text(set, dfx, dfx_present);
  }
  return kExitOk;
}

}  // namespace chiputil
