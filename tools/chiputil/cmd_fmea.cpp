// chiputil fmea: what the library finds in an FMEA debug command.
#include <chip_util/fmea.h>
#include <chip_util/log.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli.hpp"
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
    "A note on standard error names each parameter written in an option that the parser\n"
    "could not read (it shows as 0), and a dfx list without its closing ']'.\n"
    "Exit status 1 when the command holds no option and no dfx list.\n";

// Option names in the order of their types, 1 to 8.
constexpr const char *kOptionNames[] = {"read", "read_his", "positive", "neo",
                                        "wc",   "rc",       "inject",   "inject_undo"};
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

// The keys of an option; "val" also ends "cmp_val".
constexpr const char *kKeys[] = {"addr", "mask", "val", "cmp_val"};

bool continues_word(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Where the parser finds `key` in an option's text (see fmea.h): its first
// occurrence, except that a key which ends a longer key counts only where
// it does not continue a word. npos when it is not there.
size_t key_position(std::string_view body, std::string_view key) {
  const bool tail = key == "val";
  size_t at = body.find(key);
  while (tail && at != std::string_view::npos && at > 0 && continues_word(body[at - 1])) {
    at = body.find(key, at + 1);
  }
  return at;
}

// Whether the parser read a number for `key` in the option that begins at
// `option`: a field it does not read keeps its start value, so two start
// values tell a read 0 from none.
bool parser_read(const char *option, const char *key) {
  uint32_t from_zero = 0;
  uint32_t from_one = 1;
  drv_fmea_parse_para(option, key, &from_zero);
  drv_fmea_parse_para(option, key, &from_one);
  return from_zero == from_one;
}

// A parameter as written: the key up to the next ',', blank or the end of
// the option, cut at a length that fits a message.
std::string written_at(std::string_view body, size_t at) {
  const size_t end = body.find_first_of(", \t", at);
  return std::string(body.substr(at, std::min<size_t>(end == std::string_view::npos ? body.size() - at : end - at, 32)));
}

// One note per option that holds parameters the parser could not read,
// and one for a dfx list that it could not find for want of a ']'.
std::vector<std::string> unread_parameters(const char *command) {
  std::vector<std::string> notes;
  for (const char *name : kOptionNames) {
    const std::string keyword = std::string(name) + "[";
    const char *option = std::strstr(command, keyword.c_str());
    if (option == nullptr) {
      continue;
    }
    std::string_view body(option + keyword.size());
    const size_t bracket = body.find(']');
    body = body.substr(0, bracket);
    std::string unread;
    size_t count = 0;
    for (const char *key : kKeys) {
      const size_t at = key_position(body, key);
      if (at != std::string_view::npos && !parser_read(option, key)) {
        unread += (count++ == 0 ? "" : ", ") + quoted(written_at(body, at));
      }
    }
    if (count != 0) {
      notes.push_back(std::string(name) + ": could not read " + unread +
                      (bracket == std::string_view::npos
                           ? " (no ']' closes the option)"
                           : " (a key takes one separator, then a decimal or 0x hex number)") +
                      (count == 1 ? "; it shows as 0" : "; they show as 0"));
    }
  }
  if (std::strstr(command, "dfx") != nullptr && !has_dfx_option(command)) {
    notes.emplace_back("could not read the dfx list (no ']' closes it)");
  }
  return notes;
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
  for (const std::string &message : unread_parameters(text)) {
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
