// SPDX-License-Identifier: Apache-2.0
// chiputil field get|set: a field of a register image, through the
// library's wide-field functions.
#include <chip_util/register.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli.hpp"
#include "hex.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

constexpr const char *kHelp =
    "usage: chiputil field get [--json] --start N --bits N --reg-bytes N REGHEX\n"
    "       chiputil field set [--json] --start N --bits N --reg-bytes N REGHEX FIELDHEX\n"
    "\n"
    "REGHEX is the register's value as exactly --reg-bytes bytes of hex, most significant\n"
    "byte first (blanks, colons and 0x prefixes allowed). The field is --bits bits wide\n"
    "and starts at register bit --start (bit 0 is the least significant); N is decimal\n"
    "or 0x hex.\n"
    "get  prints the field's value in hex.\n"
    "set  writes FIELDHEX (a hex number) into the field and prints the new register value;\n"
    "     a value wider than the field is refused with exit status 1.\n"
    "--json prints {\"start\": N, \"bits\": N, \"reg_bytes\": N, \"register\": HEX, \"field\": HEX}.\n";

constexpr uint32_t kMaxRegBytes = 1023;  // what a register record can describe

size_t words_for_bits(uint32_t bits) { return (bits + 31) / 32; }

// Register bytes (most significant first) as the library's image words.
std::vector<uint32_t> image_of(const std::vector<uint8_t> &bytes) {
  const size_t words = (bytes.size() + 3) / 4;
  const size_t pad = words * 4 - bytes.size();
  std::vector<uint32_t> image(words, 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const size_t position = pad + i;
    image[position / 4] |= static_cast<uint32_t>(bytes[i]) << (8 * (3 - position % 4));
  }
  return image;
}

std::vector<uint8_t> bytes_of(const std::vector<uint32_t> &image, size_t count) {
  const size_t pad = image.size() * 4 - count;
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t position = pad + i;
    bytes[i] = static_cast<uint8_t>(image[position / 4] >> (8 * (3 - position % 4)));
  }
  return bytes;
}

struct FieldArgs {
  uint32_t start = 0;
  uint32_t bits = 0;
  uint32_t reg_bytes = 0;
  std::vector<uint32_t> image;
};

// Checks the numbers and the register value; an empty result means usable.
std::string read_args(const ParsedOptions &options, FieldArgs &args) {
  const char *names[] = {"start", "bits", "reg-bytes"};
  uint32_t *targets[] = {&args.start, &args.bits, &args.reg_bytes};
  for (size_t i = 0; i < 3; ++i) {
    if (!options.has(names[i])) {
      return std::string("missing --") + names[i];
    }
    const std::string &text = options.values.at(names[i]);
    const auto value = parse_number(text, 0xFFFFFFFFu);
    if (!value) {
      return std::string("--") + names[i] + " takes a whole number (decimal or 0x hex), not " +
             quoted(text);
    }
    *targets[i] = *value;
  }
  if (args.reg_bytes == 0 || args.reg_bytes > kMaxRegBytes) {
    return "--reg-bytes takes 1 to 1023";
  }
  if (args.bits == 0 || uint64_t{args.start} + args.bits > uint64_t{args.reg_bytes} * 8) {
    return "the field (--start " + std::to_string(args.start) + ", --bits " +
           std::to_string(args.bits) + ") must lie within the " +
           std::to_string(args.reg_bytes * 8) + "-bit register";
  }
  const ParsedHex reg = parse_hex_bytes(options.operands[0]);
  if (!reg.error.empty()) {
    return "REGHEX: " + reg.error;
  }
  if (reg.bytes.size() != args.reg_bytes) {
    return "REGHEX: expected " + std::to_string(args.reg_bytes) + " bytes of hex, got " +
           std::to_string(reg.bytes.size());
  }
  args.image = image_of(reg.bytes);
  return {};
}

// A value's hex digits without leading zeros ("0" for zero).
std::string significant_hex(const std::vector<uint32_t> &words) {
  const std::string digits = format_hex_value(words, static_cast<uint32_t>(words.size() * 32));
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

std::vector<uint32_t> get_field(const FieldArgs &args) {
  std::vector<uint32_t> field(words_for_bits(args.bits), 0);
  hdk_get_field_info(args.start, args.bits, args.reg_bytes, args.image.data(), field.data());
  return field;
}

void print_result(const ParsedOptions &options, const FieldArgs &args,
                  const std::vector<uint32_t> &field, bool show_register) {
  const std::vector<uint8_t> reg = bytes_of(args.image, args.reg_bytes);
  const std::string reg_hex = format_hex(reg.data(), reg.size(), "");
  const std::string field_hex = format_hex_value(field, args.bits);
  if (options.has("json")) {
    std::printf("{\"start\": %u, \"bits\": %u, \"reg_bytes\": %u, \"register\": \"%s\", "
                "\"field\": \"%s\"}\n",
                args.start, args.bits, args.reg_bytes, reg_hex.c_str(), field_hex.c_str());
  } else if (show_register) {
    std::printf("register: 0x%s\n", reg_hex.c_str());
  } else {
    std::printf("field: 0x%s\n", field_hex.c_str());
  }
}

}  // namespace

int run_field(int argc, char **argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::fputs(kHelp, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string action = argv[1];
  const std::string command = "field " + action;
  if (action != "get" && action != "set") {
    return usage_error("field", "unknown action " + quoted(action) + " (expected get or set)");
  }
  const ParsedOptions options = parse_options(
      argc - 1, argv + 1, {{"start", true}, {"bits", true}, {"reg-bytes", true}, {"json", false}});
  if (options.help) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!options.error.empty()) {
    return usage_error(command, options.error);
  }
  const size_t wanted = action == "get" ? 1 : 2;
  if (options.operands.size() != wanted) {
    return usage_error(command, action == "get" ? "expected one REGHEX argument"
                                                : "expected REGHEX and FIELDHEX arguments");
  }
  FieldArgs args;
  if (const std::string problem = read_args(options, args); !problem.empty()) {
    return usage_error(command, problem);
  }
  if (action == "get") {
    print_result(options, args, get_field(args), false);
    return kExitOk;
  }
  const ParsedWords value = parse_hex_value(options.operands[1], words_for_bits(args.bits));
  if (!value.error.empty()) {
    return usage_error(command, "FIELDHEX: " + value.error);
  }
  // A value wider than the field's words never reaches the library, which
  // takes exactly that many; within them, the library leaves a field's top
  // partial word unwritten when the value does not fit, so reading the field
  // back shows whether it took the value. Both are the same refusal.
  bool fits = value.words.size() == words_for_bits(args.bits);
  if (fits) {
    hdk_set_field_info(args.start, args.bits, args.reg_bytes, args.image.data(),
                       value.words.data());
    fits = get_field(args) == value.words;
  }
  if (!fits) {
    return refused(command, "value 0x" + significant_hex(value.words) + " does not fit the " +
                                std::to_string(args.bits) + "-bit field");
  }
  print_result(options, args, value.words, true);
  return kExitOk;
}

}  // namespace chiputil
