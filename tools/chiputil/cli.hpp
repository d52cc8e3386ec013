// What every chiputil subcommand shares: exit statuses, messages on
// standard error and option parsing on top of getopt_long.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace chiputil {

// Exit statuses: 1 when the library refuses the input, 2 for bad usage.
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// "chiputil <command>: <message>" on standard error; returns kExitUsage.
int usage_error(const std::string &command, const std::string &message);
// The same for input that the library refuses; returns kExitRefused.
int refused(const std::string &command, const std::string &message);

struct OptionSpec {
  const char *name;  // long option name, without the dashes
  bool takes_value;
};

struct ParsedOptions {
  bool help = false;
  std::map<std::string, std::string> values;  // options given, "" for flags
  std::vector<std::string> operands;
  std::string error;  // empty when the command line parsed

  bool has(const std::string &name) const { return values.count(name) != 0; }
};

// Parses argv[1..argc) with getopt_long: `--help`/`-h` always, plus the
// long options in `wanted`. Options and operands may be mixed; "--" ends
// the options.
ParsedOptions parse_options(int argc, char **argv, const std::vector<OptionSpec> &wanted);

// A whole unsigned number (decimal, or hex with 0x) no larger than `max`.
std::optional<uint32_t> parse_number(const std::string &text, uint32_t max);

// Subcommands: argv[0] is the subcommand's own name.
int run_j0(int argc, char **argv);
int run_crc7(int argc, char **argv);
int run_fmea(int argc, char **argv);
int run_field(int argc, char **argv);
int run_demo(int argc, char **argv);

}  // namespace chiputil
