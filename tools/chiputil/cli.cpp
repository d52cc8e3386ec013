// SPDX-License-Identifier: Apache-2.0
#include "cli.hpp"

#include <cstdio>

#include "text.hpp"

namespace chiputil {
namespace {

void report(const std::string &command, const std::string &message) {
  std::fprintf(stderr, "%s\n", message_line(command, message).c_str());
}

const OptionSpec *find_option(const std::vector<OptionSpec> &wanted, std::string_view name) {
  for (const OptionSpec &option : wanted) {
    if (name == option.name) {
      return &option;
    }
  }
  return nullptr;
}

const OptionSpec *find_short_option(const std::vector<OptionSpec> &wanted, char letter) {
  for (const OptionSpec &option : wanted) {
    if (option.short_name != 0 && letter == option.short_name) {
      return &option;
    }
  }
  return nullptr;
}

int digit_value(char c, uint32_t base) {
  int value = 16;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < static_cast<int>(base) ? value : -1;
}

}  // namespace

std::string message_line(const std::string &command, const std::string &message) {
  const std::string line = "chiputil " + command + ": " + message;
  return is_printable(line) ? line : escape_text(line);
}

int usage_error(const std::string &command, const std::string &message) {
  report(command, message + " (see 'chiputil " + command + " --help')");
  return kExitUsage;
}

int refused(const std::string &command, const std::string &message) {
  report(command, message);
  return kExitRefused;
}

void warning(const std::string &command, const std::string &message) {
  report(command, "warning: " + message);
}

void note(const std::string &command, const std::string &message) {
  report(command, "note: " + message);
}

ParsedOptions parse_arguments(const std::vector<std::string> &args,
                              const std::vector<OptionSpec> &wanted) {
  ParsedOptions parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--") {
      parsed.operands.insert(parsed.operands.end(), args.begin() + static_cast<long>(i) + 1,
                             args.end());
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.operands.push_back(arg);
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    // Single-dash words other than -h are no options of chiputil: name the
    // whole word, so that -LC7 is reported as typed.
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    // A one-letter option declared with a short name ("-o DIR") is the
    // only single-dash option besides -h.
    const OptionSpec *option = arg[1] == '-' ? find_option(wanted, std::string_view(name).substr(2))
                               : arg.size() == 2 ? find_short_option(wanted, arg[1])
                                                 : nullptr;
    if (name == "--help") {
      parsed.error = "option '--help' takes no value";
      return parsed;
    }
    if (option == nullptr) {
      parsed.error = "unknown option " + quoted(arg[1] == '-' ? name : arg);
      return parsed;
    }
    if (!option->takes_value) {
      if (equals != std::string::npos) {
        parsed.error = "option " + quoted(name) + " takes no value";
        return parsed;
      }
      parsed.values[option->name] = "";
    } else if (equals != std::string::npos) {
      parsed.values[option->name] = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      parsed.values[option->name] = args[++i];
    } else {
      parsed.error = "option " + quoted(name) + " needs a value";
      return parsed;
    }
  }
  return parsed;
}

ParsedOptions parse_options(int argc, char **argv, const std::vector<OptionSpec> &wanted) {
  return parse_arguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), wanted);
}

std::optional<uint64_t> parse_number64(std::string_view text, uint64_t max) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const uint32_t base = hex ? 16 : 10;
  const std::string_view digits = hex ? text.substr(2) : text;
  if (digits.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const char c : digits) {
    const int digit = digit_value(c, base);
    // value * base + digit <= max, tested without overflowing.
    if (digit < 0 || static_cast<uint64_t>(digit) > max ||
        value > (max - static_cast<uint64_t>(digit)) / base) {
      return std::nullopt;
    }
    value = value * base + static_cast<uint64_t>(digit);
  }
  return value;
}

std::optional<uint32_t> parse_number(std::string_view text, uint32_t max) {
  const std::optional<uint64_t> value = parse_number64(text, max);
  return value ? std::optional<uint32_t>(static_cast<uint32_t>(*value)) : std::nullopt;
}

}  // namespace chiputil
