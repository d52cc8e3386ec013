// SPDX-License-Identifier: Apache-2.0
// Bad maps, each refused (or warned about) with exactly its findings: one
// line each, FILE:LINE: severity: PATH: message, every problem of a map
// listed, not only the first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader.hpp"
#include "report.hpp"

namespace {

// A map of block B with one register per line from line 3 on; its
// instances follow the registers' closing line.
std::string block_map(const std::vector<std::string> &registers,
                      const std::vector<std::string> &instances = {
                          R"({"name": "I0", "block": "B", "base": "0x1000"})"}) {
  std::string text = "{\"chip\": \"t\", \"buses\": [\"mmio\", \"mdio\"],\n"
                     "\"blocks\": [{\"name\": \"B\", \"registers\": [\n";
  for (size_t i = 0; i < registers.size(); ++i) {
    text += registers[i] + (i + 1 < registers.size() ? ",\n" : "\n");
  }
  text += "]}],\n\"instances\": [\n";
  for (size_t i = 0; i < instances.size(); ++i) {
    text += instances[i] + (i + 1 < instances.size() ? ",\n" : "\n");
  }
  return text + "]}\n";
}

struct BadMap {
  const char *what;
  std::string text;
  std::vector<std::string> findings;
};

const std::string kCtrl = R"({"name": "CTRL", "offset": 0, "bytes": 4})";

const std::vector<BadMap> &bad_maps() {
  static const std::vector<BadMap> maps = {
      {"JSON syntax", "{\"chip\": \"t\",\n",
       {"t.json:1: error: not valid JSON: syntax error while parsing object key - unexpected end "
        "of input; expected string literal"}},
      {"not an object", "[1]", {"t.json:1: error: a map is a JSON object"}},
      {"nesting", std::string(70, '[') + std::string(70, ']'),
       {"t.json:1: error: nesting deeper than 64 levels"}},
      {"key twice, unknown and missing keys, bad values",
       block_map({R"({"name": "R", "ofset": 0, "bytes": 4, "access": "rwx"})",
                  R"({"name": "S", "offset": "0xZZ", "bytes": 4.5, "bytes": 4})",
                  R"({"name": "T", "offset": "-4", "bytes": 4, "fields": [{"lsb": 0, "bits": 1}]})"}),
       {"t.json:3: error: block B / register R: unknown key 'ofset'",
        "t.json:3: error: block B / register R: missing key 'offset'",
        "t.json:3: error: block B / register R: unknown access kind 'rwx' (expected rw, ro, rclr, "
        "w1c, w1s, w0c or wo)",
        "t.json:4: error: key 'bytes' appears twice",
        "t.json:4: error: block B / register S: 'offset' is not a number: '0xZZ' (expected "
        "decimal or 0x hex digits)",
        "t.json:5: error: block B / register T: 'offset' must not be negative",
        "t.json:5: error: block B / register T / field #1: missing key 'name'"}},
      {"fields that overlap or leave their register",
       block_map({R"({"name": "R", "offset": 0, "bytes": 4, "fields": [)"
                  R"({"name": "A", "lsb": 0, "bits": 4}, {"name": "B", "lsb": 3, "bits": 2},)"
                  R"({"name": "C", "lsb": 30, "bits": 4}]})",
                  R"({"name": "L", "offset": 8, "bytes": 4, "fields": [)"
                  R"({"name": "X", "lsb": 1, "bits": 2, "array": {"count": 16, "stride": 2}}]})",
                  R"({"name": "M", "offset": 16, "bytes": 2, "fields": [)"
                  R"({"name": "Y", "lsb": 4, "bits": 4, "array": {"count": 2, "stride": -8}},)"
                  R"({"name": "Z", "lsb": 8, "bits": 4, "array": {"count": 2, "stride": 3}}]})",
                  R"({"name": "N", "offset": 32, "bytes": 8, "fields": [)"
                  R"({"name": "W", "lsb": 0, "bits": 8, "array": {"count": 9, "stride": 8}},)"
                  R"({"name": "V", "lsb": 0, "bits": 64, "array": {"count": 2, "stride": 64}}]})",
                  R"({"name": "P", "offset": 48, "bytes": 4, "fields": [)"
                  R"({"name": "Q", "lsb": 0, "bits": 32, "array": {"count": 2, "stride": 32}}]})"}),
       {"t.json:3: error: block B / register R / field C: bits 30-33 lie outside the 32-bit "
        "register",
        "t.json:3: error: block B / register R / field B: overlaps field A at bit 3",
        "t.json:4: error: block B / register L / field X: element 15 (bits 31-32) crosses from one "
        "32-bit register into the next",
        "t.json:5: error: block B / register M / field Y: element 1 (bits -4--1) lies below bit 0",
        "t.json:5: error: block B / register M / field Z: elements overlap: the bit stride 3 is "
        "smaller than the field's 4 bits",
        "t.json:6: error: block B / register N / field W: element 8 (bits 64-71) lies outside the "
        "64-bit register (a register of this width is one image: its field arrays cannot continue "
        "in the next register)",
        "t.json:6: error: block B / register N / field V: element 1 (bits 64-127) lies outside the "
        "64-bit register (a register of this width is one image: its field arrays cannot continue "
        "in the next register)",
        "t.json:6: error: block B / register N / field V: overlaps field W at bit 0",
        "t.json:7: error: block B / register P / field Q: an array of fields as wide as the "
        "register cannot be expressed (the field functions access such a record as a whole "
        "register): make it a register array"}},
      {"registers that overlap",
       block_map({R"({"name": "A", "offset": 0, "bytes": 4, "array": {"count": 4, "stride": 8}})",
                  R"({"name": "B", "offset": 24, "bytes": 4})",
                  R"({"name": "C", "offset": 64, "bytes": 4, "array": {"count": 2, "stride": -2}})",
                  R"({"name": "D", "offset": 80, "bytes": 4, "fields": [)"
                  R"({"name": "E", "lsb": 0, "bits": 1, "array": {"count": 40, "stride": 1}}]})",
                  R"({"name": "F", "offset": 84, "bytes": 2})"}),
       {"t.json:4: error: block B / register B: overlaps register A at offset 0x18",
        "t.json:5: error: block B / register C: array elements overlap: the stride -2 is smaller "
        "than the register's 4 bytes",
        "t.json:7: error: block B / register F: overlaps register D at offset 0x54"}},
      {"values that do not fit a record",
       block_map({R"({"name": "U", "offset": "0x4000_0000", "bytes": 1024})",
                  R"({"name": "V", "offset": 0, "bytes": 4, "array": {"count": 4194304, "stride": "0x100_0000"}})",
                  R"({"name": "W", "offset": 0, "bytes": 0, "array": {"count": 0, "stride": -16777217}})",
                  R"({"name": "X", "offset": 0, "bytes": 4, "fields": [{"name": "E", "lsb": 16384, "bits": 0}]})"},
                 {R"({"name": "I0", "block": "B", "base": "0x1_0000_0000"})"}),
       {"t.json:3: error: block B / register U: width of 1024 bytes does not fit a record's "
        "10-bit reg_bytes (1 to 1023)",
        "t.json:3: error: block B / register U: offset 0x40000000 does not fit a record's 30-bit "
        "offset (at most 0x3fffffff)",
        "t.json:4: error: block B / register V: array count 4194304 does not fit a record's "
        "22-bit elem_num (at most 4194303)",
        "t.json:4: error: block B / register V: array stride 16777216 address units does not fit "
        "a record's 25-bit signed stride (-16777216 to 16777215)",
        "t.json:5: error: block B / register W: width of 0 bytes does not fit a record's 10-bit "
        "reg_bytes (1 to 1023)",
        "t.json:5: error: block B / register W: array count must be at least 1",
        "t.json:5: error: block B / register W: array stride -16777217 address units does not fit "
        "a record's 25-bit signed stride (-16777216 to 16777215)",
        "t.json:6: error: block B / register X / field E: field width of 0 bits does not fit a "
        "record's 14-bit field_bits (1 to 16383)",
        "t.json:6: error: block B / register X / field E: lsb 16384 does not fit a record's "
        "14-bit start_bit (at most 16383)",
        "t.json:6: error: block B / register X: overlaps register V at offset 0x0",
        "t.json:9: error: instance I0: base address 0x100000000 does not fit 32 bits"}},
      {"reset and enumerated values wider than their field",
       block_map({R"({"name": "R", "offset": 0, "bytes": 2, "reset": "0x1_0000", "fields": [)"
                  R"({"name": "F", "lsb": 0, "bits": 3, "reset": 8, "enums": [)"
                  R"({"name": "OK", "value": 7}, {"name": "BIG", "value": "0x8"}]}]})"}),
       {"t.json:3: error: block B / register R: reset value 0x10000 does not fit the 16-bit "
        "register",
        "t.json:3: error: block B / register R / field F: reset value 0x8 does not fit the 3-bit "
        "field",
        "t.json:3: error: block B / register R / field F / enum BIG: value 0x8 does not fit the "
        "3-bit field"}},
      {"names: duplicates, characters, C collisions",
       block_map({R"({"name": "A_B", "offset": 0, "bytes": 4})",
                  R"({"name": "A", "offset": 4, "bytes": 4, "fields": [{"name": "B", "lsb": 0, "bits": 1}]})",
                  R"({"name": "A", "offset": 8, "bytes": 4})",
                  R"({"name": "x.y", "offset": 12, "bytes": 4})"},
                 {R"({"name": "B_A", "block": "B", "base": 0})",
                  R"({"name": "B_A", "block": "B", "base": "0x100"})"}),
       {"t.json:4: error: block B / register A: C name T_B_A is also made by instance B_A (line "
        "9)",
        "t.json:4: error: block B / register A / field B: C name T_B_A_B is also made by block B "
        "/ register A_B (line 3)",
        "t.json:5: error: block B / register A: duplicate register name 'A' (also at line 4)",
        "t.json:6: error: block B / register x.y: register name 'x.y' may hold only printable "
        "ASCII characters other than blanks, '.', '[' and ']' (names of accesses use them)",
        "t.json:10: error: instance B_A: duplicate instance name 'B_A' (also at line 9)"}},
      {"instances: unknown block and bus, addresses out of reach",
       block_map({R"({"name": "R", "offset": "0x10", "bytes": 2, "array": {"count": 2, "stride": -32}})",
                  R"({"name": "S", "offset": "0x100", "bytes": 4})"},
                 {R"({"name": "I0", "block": "C", "base": 0, "bus": "pci"})",
                  R"({"name": "I1", "block": "B", "base": "0xfff0"})",
                  R"({"name": "I2", "block": "B", "base": "0xffffff00", "bus": "mdio"})"}),
       {"t.json:7: error: instance I0: unknown block 'C'",
        "t.json:7: error: instance I0: unknown bus 'pci' (the map's buses: mmio, mdio)",
        "t.json:8: error: instance I1: register R of I1 reaches address 0x10001: the 16-bit field "
        "functions take 16-bit addresses",
        "t.json:9: error: instance I2: register R of I2 reaches address 0xffffff11: the 16-bit "
        "field functions take 16-bit addresses",
        "t.json:9: error: instance I2: register S of I2 reaches address 0x100000003, past the "
        "32-bit address space"}},
      {"read-modify-write hazards are warnings",
       block_map({R"({"name": "IRQ", "offset": 0, "bytes": 4, "fields": [)"
                  R"({"name": "MASK", "lsb": 0, "bits": 8}, {"name": "PEND", "lsb": 8, "bits": 8, "access": "w1c"}]})",
                  R"({"name": "CMD", "offset": 4, "bytes": 4, "access": "wo", "fields": [)"
                  R"({"name": "GO", "lsb": 0, "bits": 1}, {"name": "STATE", "lsb": 4, "bits": 2, "access": "ro"}]})"}),
       {"t.json:3: warning: block B / register IRQ / field MASK: read-write field MASK shares the "
        "register with w1c field PEND: a plain read-modify-write of the register clears it",
        "t.json:4: warning: block B / register CMD / field GO: write-only field GO shares the "
        "register with field STATE: its writes do not read the register and write the other bits "
        "as 0"}},
  };
  return maps;
}

TEST(MapCheck, EveryBadMapGetsExactlyItsFindings) {
  for (const BadMap &bad : bad_maps()) {
    SCOPED_TRACE(bad.what);
    const chip::map::LoadedMap loaded = chip::map::load_map_text(bad.text, "t.json");
    std::vector<std::string> findings;
    bool warnings_only = true;
    for (const chip::map::Diagnostic &finding : loaded.findings) {
      findings.push_back(chip::map::format_finding(finding));
      warnings_only = warnings_only && finding.severity == chip::map::Severity::warning;
    }
    EXPECT_EQ(findings, bad.findings);
    EXPECT_EQ(loaded.ok(), warnings_only);
  }
}

TEST(MapCheck, ModuleAndChipNameLimits) {
  std::string blocks;
  std::string instances;
  for (int i = 0; i < 1025; ++i) {
    const std::string n = std::to_string(i);
    blocks += std::string(i ? "," : "") + R"({"name": "B)" + n + R"(", "registers": [{"name": "R", "offset": 0, "bytes": 4}]})";
    instances += std::string(i ? "," : "") + R"({"name": "I)" + n + R"(", "block": "B)" + n + R"(", "base": 0})";
  }
  const std::string text =
      R"({"chip": "7up", "buses": ["b"], "blocks": [)" + blocks + R"(], "instances": [)" + instances + "]}";
  const chip::map::LoadedMap loaded = chip::map::load_map_text(text, "t.json");
  ASSERT_EQ(loaded.findings.size(), 2u);
  EXPECT_EQ(chip::map::format_finding(loaded.findings[0]),
            "t.json:1: error: chip name '7up' must start with a letter: it begins every "
            "generated C name");
  EXPECT_EQ(chip::map::format_finding(loaded.findings[1]),
            "t.json:1: error: 1025 modules (block types times the buses their instances use) do "
            "not fit the 10-bit module index of a reg_id (at most 1024)");
}

}  // namespace
