// SPDX-License-Identifier: Apache-2.0
// chiputil j0 encode|decode and chiputil crc7: the J0/J1 trace codec.
#include <chip_util/j0j1.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "cli.hpp"
#include "hex.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

constexpr const char *kJ0Help =
    "usage: chiputil j0 encode [--len 16|64|1|0] TEXT\n"
    "       chiputil j0 decode [--json] HEX\n"
    "\n"
    "encode  prints the 64-byte transmit pattern of TEXT as hex, 16 bytes a line.\n"
    "        --len 16 (default): a 16-byte frame, marker and CRC-7 first, then up to 15\n"
    "                 characters; the frame repeats four times.\n"
    "        --len 64: a 64-byte frame of up to 62 characters closed by CR LF.\n"
    "        Shorter text is padded with blanks.\n"
    "        --len 1: TEXT is one character, repeated 64 times.\n"
    "        --len 0: no TEXT; sends 64 zero bytes (no trace), which decode like a\n"
    "                 one-character trace of a zero byte: trace length 1, text \"\\x00\".\n"
    "        A warning on standard error tells when the pattern will not decode back to\n"
    "        TEXT (a CR in a 64-byte trace, characters with bit 7 set).\n"
    "decode  classifies 64 received bytes (any rotation) and prints the trace length\n"
    "        (16, 64, 1 or 0) and the text; bytes that are not printable show as \\xHH.\n"
    "        HEX may separate bytes with blanks or colons and use 0x prefixes.\n"
    "        --json prints {\"trace_length\": N, \"text\": \"...\"}.\n";

constexpr const char *kCrc7Help =
    "usage: chiputil crc7 HEX\n"
    "       chiputil crc7 --text TEXT\n"
    "\n"
    "Prints the CRC-7 of a 16-byte trace frame given as 16 bytes of hex, or of the frame\n"
    "built from TEXT (up to 15 characters, padded with blanks). The CRC covers the frame as\n"
    "it is sent, byte 0 being the marker alone, whatever byte 0 of HEX holds. When that byte\n"
    "has the marker bit set, its CRC bits are compared with the result: exit status 1 when\n"
    "they differ.\n";

constexpr size_t kPatternBytes = 64;

// The frame text of a 16- or 64-byte trace: TEXT padded with blanks.
bool padded_text(const std::string &text, size_t size, std::string &out) {
  if (text.size() > size) {
    return false;
  }
  out = text + std::string(size - text.size(), ' ');
  return true;
}

const uint8_t *bytes_of(const std::string &text) {
  return reinterpret_cast<const uint8_t *>(text.data());
}

using Pattern = std::array<uint8_t, kPatternBytes>;

// Why a pattern may not decode back to its text, from what the decoder
// counts: a second CR rules out a 64-byte frame, and a byte with bit 7 set
// reads as the marker of a 16-byte frame.
std::string suspect_characters(uint32_t length, std::string_view text) {
  std::string causes;
  if (length == 64 && text.find('\r') != std::string_view::npos) {
    causes = "a CR ends a 64-byte frame early";
  }
  for (const char c : text) {
    if ((static_cast<uint8_t>(c) & 0x80) != 0) {
      causes += std::string(causes.empty() ? "" : "; ") +
                "characters with bit 7 set look like the marker of a 16-byte frame";
      break;
    }
  }
  return causes.empty() ? "" : " (" + causes + ")";
}

// Empty when a receiver decodes `pattern` back to trace length `length` and
// the text `sent`, wherever in the repeating pattern it starts reading;
// otherwise a warning saying what it decodes instead. Decoding every
// rotation is the exact test: which rule applies first depends on where the
// receiver starts.
std::string round_trip_problem(const Pattern &pattern, uint32_t length, std::string_view sent) {
  std::set<uint32_t> misread_lengths;
  size_t misread_rotations = 0;
  for (size_t shift = 0; shift < kPatternBytes; ++shift) {
    Pattern received{};
    for (size_t i = 0; i < kPatternBytes; ++i) {
      received[i] = pattern[(i + shift) % kPatternBytes];
    }
    uint32_t decoded_length = 0;
    Pattern text{};
    (void)drv_decode_j0j1_rx_msg(received.data(), &decoded_length, text.data(), kPatternBytes);
    const std::string_view decoded(reinterpret_cast<const char *>(text.data()), sent.size());
    if (decoded_length != length || decoded != sent) {
      misread_lengths.insert(decoded_length);
      ++misread_rotations;
    }
  }
  if (misread_rotations == 0) {
    return {};
  }
  std::string lengths;
  for (const uint32_t decoded : misread_lengths) {
    lengths += (lengths.empty() ? "" : " or ") + std::to_string(decoded);
  }
  const std::string where = misread_rotations == kPatternBytes
                                ? ""
                                : " at " + std::to_string(misread_rotations) + " of the 64 rotations";
  return "TEXT will not decode back to itself" + suspect_characters(length, sent) +
         ": receivers decode trace length " + lengths + where;
}

void print_pattern(const Pattern &pattern) {
  for (size_t row = 0; row < kPatternBytes; row += 16) {
    std::printf("%s\n", format_hex(pattern.data() + row, 16).c_str());
  }
}

int encode(const ParsedOptions &options) {
  const std::string command = "j0 encode";
  const auto length = parse_number(options.has("len") ? options.values.at("len") : "16", 64);
  if (!length || (*length != 16 && *length != 64 && *length != 1 && *length != 0)) {
    return usage_error(command, "--len takes 16, 64, 1 or 0");
  }
  const size_t wanted_operands = *length == 0 ? 0 : 1;
  if (options.operands.size() != wanted_operands) {
    return usage_error(command, *length == 0 ? "a trace of length 0 takes no TEXT"
                                              : "expected one TEXT argument");
  }
  const std::string text = wanted_operands != 0 ? options.operands[0] : std::string();
  Pattern frame{};
  Pattern pattern{};
  std::string padded;
  int32_t result = 0;
  if (*length == 16 || *length == 64) {
    const size_t characters = *length == 16 ? 15 : 62;
    if (!padded_text(text, characters, padded)) {
      return usage_error(command, "TEXT has " + std::to_string(text.size()) +
                                      " characters; a " + std::to_string(*length) +
                                      "-byte trace holds at most " + std::to_string(characters));
    }
    result = drv_encode_j0j1_tx_msg(*length, bytes_of(padded), frame.data());
    if (result == 0) {
      result = drv_assemble_j0j1_msg(*length, frame.data(), pattern.data());
    }
  } else {
    if (*length == 1 && text.size() != 1) {
      return usage_error(command, "a trace of length 1 takes exactly one character");
    }
    const uint8_t single = *length == 1 ? static_cast<uint8_t>(text[0]) : 0;
    result = drv_assemble_j0j1_msg(*length, &single, pattern.data());
  }
  if (result != 0) {
    return refused(command, "the codec refused the trace");
  }
  if (*length != 0) {
    const std::string sent = *length == 1 ? text : padded;
    if (const std::string problem = round_trip_problem(pattern, *length, sent); !problem.empty()) {
      warning(command, problem);
    }
  }
  print_pattern(pattern);
  return kExitOk;
}

// How many decoded bytes carry the trace of each length.
size_t text_bytes(uint32_t trace_length) {
  switch (trace_length) {
    case 16:
      return 15;
    case 64:
      return 62;
    case 1:
      return 1;
    default:
      return 0;
  }
}

int decode(const ParsedOptions &options) {
  const std::string command = "j0 decode";
  if (options.operands.size() != 1) {
    return usage_error(command, "expected one HEX argument holding 64 received bytes");
  }
  const ParsedHex hex = parse_hex_bytes(options.operands[0]);
  if (!hex.error.empty()) {
    return usage_error(command, hex.error);
  }
  if (hex.bytes.size() != kPatternBytes) {
    return usage_error(command, "expected 64 bytes of hex, got " + std::to_string(hex.bytes.size()));
  }
  uint32_t trace_length = 0;
  Pattern text{};
  if (drv_decode_j0j1_rx_msg(hex.bytes.data(), &trace_length, text.data(), kPatternBytes) != 0) {
    return refused(command, "the codec refused the received bytes");
  }
  const size_t shown = text_bytes(trace_length);
  if (options.has("json")) {
    std::printf("{\"trace_length\": %u, \"text\": %s}\n", trace_length,
                json_string(text.data(), shown).c_str());
  } else {
    const std::string_view decoded(reinterpret_cast<const char *>(text.data()), shown);
    std::printf("trace length: %u\ntext: \"%s\"\n", trace_length,
                escape_text(decoded, '"').c_str());
  }
  return kExitOk;
}

}  // namespace

int run_j0(int argc, char **argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::fputs(kJ0Help, argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string action = argv[1];
  if (action == "encode") {
    const ParsedOptions options = parse_options(argc - 1, argv + 1, {{"len", true}});
    if (options.help) {
      std::fputs(kJ0Help, stdout);
      return kExitOk;
    }
    return options.error.empty() ? encode(options) : usage_error("j0 encode", options.error);
  }
  if (action == "decode") {
    const ParsedOptions options = parse_options(argc - 1, argv + 1, {{"json", false}});
    if (options.help) {
      std::fputs(kJ0Help, stdout);
      return kExitOk;
    }
    return options.error.empty() ? decode(options) : usage_error("j0 decode", options.error);
  }
  return usage_error("j0", "unknown action " + quoted(action) + " (expected encode or decode)");
}

int run_crc7(int argc, char **argv) {
  const std::string command = "crc7";
  const ParsedOptions options = parse_options(argc, argv, {{"text", true}});
  if (options.help) {
    std::fputs(kCrc7Help, stdout);
    return kExitOk;
  }
  if (!options.error.empty()) {
    return usage_error(command, options.error);
  }
  std::array<uint8_t, 16> frame{};
  bool compare = false;
  uint8_t received = 0;
  if (options.has("text")) {
    if (!options.operands.empty()) {
      return usage_error(command, "give either HEX or --text TEXT, not both");
    }
    std::string body;
    if (!padded_text(options.values.at("text"), 15, body)) {
      return usage_error(command, "TEXT has more than 15 characters");
    }
    if (drv_encode_j0j1_tx_msg(16, bytes_of(body), frame.data()) != 0) {
      return refused(command, "the codec refused the trace");
    }
  } else {
    if (options.operands.size() != 1) {
      return usage_error(command, "expected one HEX argument holding a 16-byte frame");
    }
    const ParsedHex hex = parse_hex_bytes(options.operands[0]);
    if (!hex.error.empty()) {
      return usage_error(command, hex.error);
    }
    if (hex.bytes.size() != frame.size()) {
      return usage_error(command, "expected 16 bytes of hex, got " + std::to_string(hex.bytes.size()));
    }
    std::copy(hex.bytes.begin(), hex.bytes.end(), frame.begin());
    received = frame[0];
    compare = (received & 0x80) != 0;
    // The CRC is computed over the frame as sent, as the encoder does: the
    // marker set and the CRC bits clear, whatever byte 0 held.
    frame[0] = 0x80;
    drv_j0j1_insert_crc7(frame.data());
  }
  const unsigned crc = frame[0] & 0x7Fu;
  std::printf("crc7: 0x%02x (frame byte 0 with marker: 0x%02x)\n", crc, crc | 0x80u);
  if (compare) {
    const unsigned received_crc = received & 0x7Fu;
    std::printf("received byte 0: 0x%02x (CRC %s)\n", received,
                received_crc == crc ? "matches" : "differs");
    if (received_crc != crc) {
      char message[64];
      std::snprintf(message, sizeof message,
                    "the received CRC 0x%02x differs from the frame's 0x%02x", received_crc, crc);
      return refused(command, message);
    }
  }
  return kExitOk;
}

}  // namespace chiputil
