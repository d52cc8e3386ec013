// SPDX-License-Identifier: Apache-2.0
// What every chiputil subcommand shares: exit statuses, messages on
// standard error and option parsing on top of getopt_long.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chiputil {

// Exit statuses: 1 when the library refuses the input, 2 for bad usage.
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// "chiputil <command>: <message>" on standard error; returns kExitUsage.
// Text from outside goes into a message through quoted() (text.hpp); the
// line is one line of printable text in any case: a byte that slipped
// through unquoted is shown escaped.
int usage_error(const std::string &command, const std::string &message);
// The same for input that the library refuses; returns kExitRefused.
int refused(const std::string &command, const std::string &message);
// "chiputil <command>: warning: <message>" and "...: note: <message>" on
// standard error, for a result that is given but may not be what was meant.
void warning(const std::string &command, const std::string &message);
void note(const std::string &command, const std::string &message);
// The line each of them writes, without its line end.
std::string message_line(const std::string &command, const std::string &message);

struct OptionSpec {
  const char *name;  // long option name, without the dashes
  bool takes_value;
  char short_name = 0;  // also accepted as -<short_name>; 0 for none
};

struct ParsedOptions {
  bool help = false;
  std::map<std::string, std::string> values;  // options given, "" for flags
  std::vector<std::string> operands;
  std::string error;  // empty when the command line parsed

  bool has(const std::string &name) const { return values.count(name) != 0; }
};

// Parses the arguments: `--help` and `-h` always, plus the long options in
// `wanted`, spelt in full, as `--name value` or `--name=value`. Options and
// operands may be mixed; "--" ends the options and "-" is an operand. The
// first unknown option, missing value or value given to a flag stops the
// parse with `error` naming the argument as it was typed.
ParsedOptions parse_arguments(const std::vector<std::string> &args,
                              const std::vector<OptionSpec> &wanted);
// The same over argv[1..argc).
ParsedOptions parse_options(int argc, char **argv, const std::vector<OptionSpec> &wanted);

// A whole unsigned number no larger than `max`: decimal digits, or 0x or 0X
// and hex digits. A leading zero is a decimal digit like any other ("010"
// is ten, never octal); a sign, a blank or any other character anywhere
// refuses the text.
std::optional<uint32_t> parse_number(std::string_view text, uint32_t max);
// The same for 64-bit numbers (offsets into a mapping).
std::optional<uint64_t> parse_number64(std::string_view text, uint64_t max);

// Subcommands: argv[0] is the subcommand's own name.
int run_j0(int argc, char **argv);
int run_crc7(int argc, char **argv);
int run_fmea(int argc, char **argv);
int run_field(int argc, char **argv);
int run_demo(int argc, char **argv);
int run_map(int argc, char **argv);
int run_reg(int argc, char **argv);

}  // namespace chiputil
