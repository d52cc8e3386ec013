#include "cli.hpp"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace chiputil {
namespace {

int report(const std::string &command, const std::string &message, int status) {
  std::fprintf(stderr, "chiputil %s: %s\n", command.c_str(), message.c_str());
  return status;
}

}  // namespace

int usage_error(const std::string &command, const std::string &message) {
  return report(command, message + " (see 'chiputil " + command + " --help')", kExitUsage);
}

int refused(const std::string &command, const std::string &message) {
  return report(command, message, kExitRefused);
}

ParsedOptions parse_options(int argc, char **argv, const std::vector<OptionSpec> &wanted) {
  constexpr int kFirstLong = 256;
  std::vector<option> longs;
  longs.push_back({"help", no_argument, nullptr, 'h'});
  for (size_t i = 0; i < wanted.size(); ++i) {
    longs.push_back({wanted[i].name, wanted[i].takes_value ? required_argument : no_argument, nullptr,
                     kFirstLong + static_cast<int>(i)});
  }
  longs.push_back({nullptr, 0, nullptr, 0});

  ParsedOptions parsed;
  optind = 1;
  opterr = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, ":h", longs.data(), nullptr);
    if (c == -1) {
      break;
    }
    if (c == 'h') {
      parsed.help = true;
    } else if (c >= kFirstLong) {
      const OptionSpec &option_wanted = wanted[static_cast<size_t>(c - kFirstLong)];
      parsed.values[option_wanted.name] = option_wanted.takes_value ? optarg : "";
    } else if (c == ':') {
      parsed.error = std::string("option '") + argv[optind - 1] + "' needs a value";
      return parsed;
    } else {
      parsed.error = std::string("unknown option '") + argv[optind - 1] + "'";
      return parsed;
    }
  }
  for (int i = optind; i < argc; ++i) {
    parsed.operands.emplace_back(argv[i]);
  }
  return parsed;
}

std::optional<uint32_t> parse_number(const std::string &text, uint32_t max) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
    return std::nullopt;
  }
  errno = 0;
  char *end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > max) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace chiputil
