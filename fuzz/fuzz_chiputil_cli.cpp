// SPDX-License-Identifier: Apache-2.0
// Fuzzes what chiputil reads from its command line and echoes back:
// - parse_number against a reference built on strtoull with an explicit
//   base over a text first checked to be digits only, and the round trip of
//   a drawn value written in decimal, with a leading zero and in 0x hex;
// - quoted: one line of printable ASCII between single quotes, from which
//   the text reads back exactly; message_line stays printable whatever it
//   is given, and so do the errors of the hex readers;
// - parse_arguments on an argument list spelt from typed tokens, each of
//   which says what the parser must make of it (an operand, an option and
//   its value, help, "--", or the first error, named as typed), so the
//   generator is the model;
// - the notes of chiputil fmea on the quoted text taken as an FMEA command:
//   printable lines, and none for a command of well-formed options.
//
// Input: byte 0 picks the number's limit; then a length byte and that many
// bytes for the number text, the same for the quoted text, four bytes of a
// value to write out, and the rest as argument tokens (kind byte, length
// byte, bytes).
#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "tools/chiputil/cli.hpp"
#include "tools/chiputil/fmea_notes.hpp"
#include "tools/chiputil/hex.hpp"
#include "tools/chiputil/text.hpp"

using chiputil::OptionSpec;
using chiputil::ParsedOptions;

namespace {

bool all_of_class(const std::string &text, size_t from, int (*in_class)(int)) {
  for (size_t i = from; i < text.size(); ++i)
    if (!in_class(static_cast<unsigned char>(text[i]))) return false;
  return text.size() > from;
}

// Decimal digits, or 0x / 0X and hex digits, converted by libc once the
// text is known to hold nothing else; a value past 64 bits is out of range.
std::optional<uint32_t> reference_number(const std::string &text, uint32_t max) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (hex ? !all_of_class(text, 2, isxdigit) : !all_of_class(text, 0, isdigit)) return std::nullopt;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, hex ? 16 : 10);
  if (errno == ERANGE || value > max) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// Reads back what escape_text wrote between quotes: \\, \' and \xHH.
std::optional<std::string> unquote(const std::string &shown) {
  if (shown.size() < 2 || shown.front() != '\'' || shown.back() != '\'') return std::nullopt;
  std::string text;
  for (size_t i = 1; i + 1 < shown.size(); ++i) {
    if (shown[i] == '\'') return std::nullopt;  // a bare quote would end the text early
    if (shown[i] != '\\') {
      text.push_back(shown[i]);
    } else if (i + 2 < shown.size() && (shown[i + 1] == '\\' || shown[i + 1] == '\'')) {
      text.push_back(shown[++i]);
    } else if (i + 4 < shown.size() && shown[i + 1] == 'x') {
      text.push_back(static_cast<char>(std::strtoul(shown.substr(i + 2, 2).c_str(), nullptr, 16)));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return text;
}

const std::vector<OptionSpec> kWanted = {{"len", true}, {"json", false}, {"text", true}};

// An argument list and what the parser must make of it.
struct Spelt {
  std::vector<std::string> args;
  ParsedOptions expected;
};

Spelt spell_arguments(fuzz::Input &in) {
  Spelt s;
  ParsedOptions &e = s.expected;
  bool operands_only = false;  // after "--"
  while (in.remaining() > 0 && e.error.empty()) {
    const uint8_t kind = in.u8() % 10;
    std::string raw = in.bytes(in.u8() % 12);
    if (operands_only) {
      s.args.push_back(raw);
      e.operands.push_back(raw);
      continue;
    }
    switch (kind) {
      case 0:  // an operand: never a dash and another character first
        if (raw.size() >= 2 && raw[0] == '-') raw[0] = 'o';
        s.args.push_back(raw);
        e.operands.push_back(raw);
        break;
      case 1:  // a value in the next argument, whatever it holds
        s.args.insert(s.args.end(), {"--len", raw});
        e.values["len"] = raw;
        break;
      case 2:  // a value after '=', which may hold further '='
        s.args.push_back("--text=" + raw);
        e.values["text"] = raw;
        break;
      case 3:
        s.args.push_back("--json");
        e.values["json"] = "";
        break;
      case 4:
        s.args.push_back(raw.empty() ? "-h" : "--help");
        e.help = true;
        break;
      case 5:
        s.args.push_back("--");
        operands_only = true;
        break;
      case 6: {  // an unknown long option, named up to its '='
        const std::string arg = "--zz" + raw;
        s.args.push_back(arg);
        e.error = "unknown option " + chiputil::quoted(arg.substr(0, arg.find('=')));
        break;
      }
      case 7:  // an unknown short word, named whole
        s.args.push_back("-Q" + raw);
        e.error = "unknown option " + chiputil::quoted("-Q" + raw);
        break;
      case 8: {  // a value given to a flag
        const std::string flag = raw.empty() ? "--help" : "--json";
        s.args.push_back(flag + "=" + raw);
        e.error = "option " + chiputil::quoted(flag) + " takes no value";
        break;
      }
      default:  // a value-taking option as the last argument
        if (in.remaining() == 0) {
          s.args.push_back("--len");
          e.error = "option '--len' needs a value";
        }
        break;
    }
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t limit = in.u8();
  const uint32_t max = limit < 64 ? limit : limit < 128 ? 0xFFFFFFFFu : limit * 0x01010101u;
  const std::string number = in.bytes(in.u8() % 24);
  const std::string text = in.bytes(in.u8());
  const uint32_t value = in.u32();

  FUZZ_CHECK(chiputil::parse_number(number, max) == reference_number(number, max));
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", value);
  for (const std::string &written :
       {std::to_string(value), "0" + std::to_string(value), std::string(hex)}) {
    FUZZ_CHECK(chiputil::parse_number(written, 0xFFFFFFFFu) == value);
    FUZZ_CHECK(chiputil::parse_number(written, value) == value);
    FUZZ_CHECK(value == 0 || !chiputil::parse_number(written, value - 1));
    FUZZ_CHECK(!chiputil::parse_number(" " + written, 0xFFFFFFFFu) &&
               !chiputil::parse_number(written + "\n", 0xFFFFFFFFu));
  }

  const std::string shown = chiputil::quoted(text);
  FUZZ_CHECK(chiputil::is_printable(shown) && unquote(shown) == text);
  FUZZ_CHECK(chiputil::is_printable(chiputil::message_line(text, text)));
  const std::string hex_error = chiputil::parse_hex_bytes(text).error;
  const std::string value_error = chiputil::parse_hex_value(text, 1).error;
  FUZZ_CHECK(chiputil::is_printable(hex_error) && chiputil::is_printable(value_error));

  const auto command = fuzz::c_string(text);
  for (const std::string &note : chiputil::fmea_command_notes(command.data()))
    FUZZ_CHECK(chiputil::is_printable(note));
  const std::string well_formed = "read[addr=" + std::to_string(value) + ",mask=" + hex +
                                  ",cmp_val=1,val=2] inject[val=" + hex + "] dfx[" +
                                  std::to_string(value) + ",7]";
  FUZZ_CHECK(chiputil::fmea_command_notes(well_formed.c_str()).empty());

  const Spelt spelt = spell_arguments(in);
  const ParsedOptions parsed = chiputil::parse_arguments(spelt.args, kWanted);
  const ParsedOptions &expected = spelt.expected;
  FUZZ_CHECK(parsed.help == expected.help && parsed.error == expected.error &&
             chiputil::is_printable(parsed.error));
  FUZZ_CHECK(parsed.values == expected.values && parsed.operands == expected.operands);
  return 0;
}
