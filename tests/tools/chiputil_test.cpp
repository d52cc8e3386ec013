// SPDX-License-Identifier: Apache-2.0
// The chiputil command as a user runs it: known vectors, every refused
// input class with its exit status and message, and JSON parsed back.
#include <gtest/gtest.h>
#include "support/tool_run.hpp"
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using test_support::ToolRun;

ToolRun chiputil(const std::string &args) { return test_support::run_tool(CHIPUTIL_PATH, args); }

std::string repeat(const std::string &unit, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) {
    all += unit;
  }
  return all;
}

// A known vector prints on standard output only; a refused input prints one
// line on standard error saying what was expected, and a usage error
// (status 2) ends it by naming the subcommand's help.
struct Case {
  std::string args;
  int status;
  std::string out;
  std::string err;
};

// The transmit pattern's hex as j0 encode prints it: 16 bytes a line.
std::string hex_rows(const std::string &bytes) {
  std::string rows;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
    rows += std::string(i % 16 == 0 ? "" : " ") + pair + (i % 16 == 15 ? "\n" : "");
  }
  return rows;
}

// A 64-byte frame of TEXT: padded with blanks to 62 characters, then CR LF.
std::string frame64(const std::string &text) {
  return text + std::string(62 - text.size(), ' ') + "\r\n";
}

const std::string kSpacesRow = "c8" + repeat(" 20", 15);
const std::string kCrcOfSpaces = "crc7: 0x48 (frame byte 0 with marker: 0xc8)\n";

const Case kCases[] = {
    {"j0 encode --len 16 ''", 0, repeat(kSpacesRow + "\n", 4), ""},
    {"j0 decode " + repeat("0x00:", 63) + "0x00", 0, "trace length: 1\ntext: \"\\x00\"\n", ""},
    {"crc7 --text ''", 0, kCrcOfSpaces, ""},
    {"crc7 '" + kSpacesRow + "'", 0, kCrcOfSpaces + "received byte 0: 0xc8 (CRC matches)\n", ""},
    {"fmea 'read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]'", 0,
     "read         addr=0x1000 mask=0xff val=0x1 cmp_val=0x5\ndfx          1 2 3\n", ""},
    {"field get --start 4 --bits 8 --reg-bytes 4 12345678", 0, "field: 0x67\n", ""},
    {"field set --start 4 --bits 8 --reg-bytes 4 '0x12 34:56,78' ab", 0, "register: 0x12345ab8\n", ""},
    {"frobnicate", 2, "",
     "chiputil: unknown command 'frobnicate' (expected j0, crc7, fmea, field, map, reg or demo; "
     "see 'chiputil --help')\n"},
    {"j0 decode zz", 2, "",
     "chiputil j0 decode: malformed hex: 'z' at position 1 is not a hex digit (expected pairs of "
     "0-9a-f, optionally separated by blanks or colons) (see 'chiputil j0 decode --help')\n"},
    {"j0 decode c82", 2, "",
     "chiputil j0 decode: malformed hex: odd number of hex digits (3); every byte takes two (see "
     "'chiputil j0 decode --help')\n"},
    {"j0 decode c820", 2, "",
     "chiputil j0 decode: expected 64 bytes of hex, got 2 (see 'chiputil j0 decode --help')\n"},
    {"j0 encode --len 32 x", 2, "",
     "chiputil j0 encode: --len takes 16, 64, 1 or 0 (see 'chiputil j0 encode --help')\n"},
    {"j0 encode --frame x", 2, "",
     "chiputil j0 encode: unknown option '--frame' (see 'chiputil j0 encode --help')\n"},
    {"j0 encode 0123456789abcdef", 2, "",
     "chiputil j0 encode: TEXT has 16 characters; a 16-byte trace holds at most 15 (see "
     "'chiputil j0 encode --help')\n"},
    {"field get --start 30 --bits 8 --reg-bytes 4 12345678", 2, "",
     "chiputil field get: the field (--start 30, --bits 8) must lie within the 32-bit register "
     "(see 'chiputil field get --help')\n"},
    {"fmea 'no options here'", 1, "",
     "chiputil fmea: no option found (expected e.g. read[addr=0x10] or dfx[1,2])\n"},
    {"field set --start 4 --bits 12 --reg-bytes 4 12345678 1000", 1, "",
     "chiputil field set: value 0x1000 does not fit the 12-bit field\n"},

    // Numbers are decimal or 0x hex, a leading zero never makes them octal,
    // and nothing but digits is taken.
    {"field get --start 010 --bits 1 --reg-bytes 4 00000400", 0, "field: 0x1\n", ""},
    {"field get --start 08 --bits 1 --reg-bytes 0x4 00000100", 0, "field: 0x1\n", ""},
    {"j0 encode --len 020 x", 2, "",
     "chiputil j0 encode: --len takes 16, 64, 1 or 0 (see 'chiputil j0 encode --help')\n"},
    {"field get --start \"$(printf '\\t5')\" --bits 1 --reg-bytes 4 00000100", 2, "",
     "chiputil field get: --start takes a whole number (decimal or 0x hex), not '\\x095' (see "
     "'chiputil field get --help')\n"},
    // A value wider than the field is refused (1), however many words it needs.
    {"field set --start 4 --bits 8 --reg-bytes 4 12345678 123456789", 1, "",
     "chiputil field set: value 0x123456789 does not fit the 8-bit field\n"},
    {"field set --start 0 --bits 32 --reg-bytes 4 12345678 1ffffffff", 1, "",
     "chiputil field set: value 0x1ffffffff does not fit the 32-bit field\n"},
    {"field set --start 0 --bits 32 --reg-bytes 4 12345678 00000000ffffffff", 0,
     "register: 0xffffffff\n", ""},
    // Every message is one printable line: echoed text is quoted and escaped.
    {"\"$(printf 'foo\\nbar')\"", 2, "",
     "chiputil: unknown command 'foo\\x0abar' (expected j0, crc7, fmea, field, map, reg or demo; "
     "see 'chiputil --help')\n"},
    {"\"it's\"", 2, "",
     "chiputil: unknown command 'it\\'s' (expected j0, crc7, fmea, field, map, reg or demo; see "
     "'chiputil --help')\n"},
    {"field \"$(printf 'g\\351t')\"", 2, "",
     "chiputil field: unknown action 'g\\xe9t' (expected get or set) (see "
     "'chiputil field --help')\n"},
    {"j0 decode \"$(printf 'c8\\r')\"", 2, "",
     "chiputil j0 decode: malformed hex: '\\x0d' at position 3 is not a hex digit (expected pairs of "
     "0-9a-f, optionally separated by blanks or colons) (see 'chiputil j0 decode --help')\n"},
    {"j0 encode \"$(printf -- '--x\\033[2J')\"", 2, "",
     "chiputil j0 encode: unknown option '--x\\x1b[2J' (see 'chiputil j0 encode --help')\n"},
    {"j0 decode \"$('" CHIPUTIL_PATH "' j0 encode 'a\"b')\"", 0,
     "trace length: 16\ntext: \"a\\\"b            \"\n", ""},
    // The CRC of a frame does not depend on byte 0; a mismatch is refused.
    {"crc7 004c43372f504f525433204a30205458", 0,
     "crc7: 0x0f (frame byte 0 with marker: 0x8f)\n", ""},
    {"crc7 864c43372f504f525433204a30205458", 1,
     "crc7: 0x0f (frame byte 0 with marker: 0x8f)\nreceived byte 0: 0x86 (CRC differs)\n",
     "chiputil crc7: the received CRC 0x06 differs from the frame's 0x0f\n"},
    // A trace text that receivers will not decode back is warned about.
    {"j0 encode --len 64 \"$(printf 'NODE\\rA')\"", 0, hex_rows(frame64("NODE\rA")),
     "chiputil j0 encode: warning: TEXT will not decode back to itself (a CR ends a 64-byte frame "
     "early): receivers decode trace length 0\n"},
    {"j0 encode --len 64 \"$(printf 'caf\\303\\251')\"", 0, hex_rows(frame64("caf\xc3\xa9")),
     "chiputil j0 encode: warning: TEXT will not decode back to itself (characters with bit 7 set "
     "look like the marker of a 16-byte frame): receivers decode trace length 16 at 2 of the 64 "
     "rotations\n"},
    {"j0 encode --len 16 \"$(printf '\\351')\"", 0, repeat("ea e9" + repeat(" 20", 14) + "\n", 4),
     "chiputil j0 encode: warning: TEXT will not decode back to itself (characters with bit 7 set "
     "look like the marker of a 16-byte frame): receivers decode trace length 0\n"},
    // Options are spelt in full; an unknown one is named as typed.
    {"j0 encode -LC7", 2, "",
     "chiputil j0 encode: unknown option '-LC7' (see 'chiputil j0 encode --help')\n"},
    {"j0 decode --json=1 x", 2, "",
     "chiputil j0 decode: option '--json' takes no value (see 'chiputil j0 decode --help')\n"},
    // Parameters the FMEA parser could not read are noted; the result stands.
    {"fmea 'read[addr=zz]'", 0, "read         addr=0x0 mask=0x0 val=0x0 cmp_val=0x0\n",
     "chiputil fmea: note: read: could not read 'addr=zz' (a key takes one separator, then a "
     "decimal or 0x hex number); it shows as 0\n"},
    {"fmea \"$(printf 'read[mask=1,cmp_val=-1,val=x] rc[addr=\\rz] wc[addr=3')\"", 0,
     "read         addr=0x0 mask=0x1 val=0x0 cmp_val=0x0\n"
     "wc           addr=0x0 mask=0x0 val=0x0 cmp_val=0x0\n"
     "rc           addr=0x0 mask=0x0 val=0x0 cmp_val=0x0\n",
     "chiputil fmea: note: read: could not read 'val=x', 'cmp_val=-1' (a key takes one separator, "
     "then a decimal or 0x hex number); they show as 0\n"
     "chiputil fmea: note: wc: could not read 'addr=3' (no ']' closes the option); it shows as 0\n"
     "chiputil fmea: note: rc: could not read 'addr=\\x0dz' (a key takes one separator, then a "
     "decimal or 0x hex number); it shows as 0\n"},
    {"fmea 'read[addr=1,addr=2] read[addr=3] dfx[1,0x2]'", 0,
     "read         addr=0x1 mask=0x0 val=0x0 cmp_val=0x0\ndfx          2\n",
     "chiputil fmea: note: read: ignored 'addr=2' (only the first of each key counts)\n"
     "chiputil fmea: note: read: only the first 'read[' counts; the others are ignored\n"
     "chiputil fmea: note: dfx: 1 decimal number ignored (a list that holds a 0x number counts only "
     "its 0x numbers)\n"},
    {"fmea 'dfx[1,2'", 1, "",
     "chiputil fmea: note: could not read the dfx list (no ']' closes it)\n"
     "chiputil fmea: no option found (expected e.g. read[addr=0x10] or dfx[1,2])\n"},
};

TEST(Chiputil, RunsWithExactStatusAndOutput) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.args.substr(0, 60));
    const ToolRun run = chiputil(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

nlohmann::json json_of(const std::string &args) {
  const ToolRun run = chiputil(args);
  EXPECT_EQ(run.status, 0) << run.err;
  return nlohmann::json::parse(run.out);
}

TEST(Chiputil, JsonParsesBackToTheDecodedValues) {
  std::string hex = chiputil("j0 encode --len 64 LINE-CARD-7/PORT-3").out;
  std::replace(hex.begin(), hex.end(), '\n', ' ');
  // Rotated by 37 bytes, as a receiver may see it.
  EXPECT_EQ(json_of("j0 decode --json '" + hex.substr(37 * 3) + hex.substr(0, 37 * 3) + "'"),
            nlohmann::json({{"trace_length", 64}, {"text", "LINE-CARD-7/PORT-3" + repeat(" ", 44)}}));
  EXPECT_EQ(json_of("fmea --json 'read[addr=0x1000,val=0x1,cmp_val=0x5] dfx[1,2,3] inject[val=3]'"),
            nlohmann::json::parse(R"({"options": [
              {"type": 1, "name": "read", "addr": 4096, "mask": 0, "val": 1, "cmp_val": 5},
              {"type": 7, "name": "inject", "addr": 0, "mask": 0, "val": 3, "cmp_val": 0}],
              "dfx": [1, 2, 3]})"));
  EXPECT_EQ(json_of("field get --json --start 24 --bits 16 --reg-bytes 8 000000aa:bb000000"),
            nlohmann::json({{"start", 24}, {"bits", 16}, {"reg_bytes", 8},
                            {"register", "000000aabb000000"}, {"field", "aabb"}}));
}

// The help tells what --len 0 sends and how it decodes, in the decoder's
// own words.
TEST(Chiputil, HelpSaysHowAnEmptyTraceDecodes) {
  const ToolRun empty = chiputil("j0 decode \"$('" CHIPUTIL_PATH "' j0 encode --len 0)\"");
  EXPECT_EQ(empty.out, "trace length: 1\ntext: \"\\x00\"\n");
  const std::string help = chiputil("j0 --help").out;
  EXPECT_NE(help.find("--len 0: no TEXT; sends 64 zero bytes"), std::string::npos) << help;
  EXPECT_NE(help.find("trace length 1, text \"\\x00\""), std::string::npos) << help;
}

TEST(Chiputil, DemoRunsTheWalkthrough) {
  const ToolRun demo = chiputil("demo");
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("walkthrough complete"), std::string::npos);
}

}  // namespace
