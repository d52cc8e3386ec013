// SPDX-License-Identifier: Apache-2.0
// Fuzzes the --bus argument of chiputil reg (parse_bus_spec):
// - a target spelt from drawn parts (kind, path, numbers written in decimal,
//   with a leading zero or in 0x hex, an optional @OFFSET or DEVAD) parses
//   back to exactly those parts, or is refused exactly when a part breaks
//   the syntax (a number past its limit, a colon or an empty name);
// - any bytes at all: no crash, and either a printable one-line error or a
//   target whose fields respell to a text that parses to the same target.
//
// Input: byte 0 picks the kind; then a length byte and that many bytes of
// path; two numbers of 8 bytes, each with a byte choosing how to write it;
// a byte saying whether the optional part is there; the rest as raw text.
#include <string>

#include "fuzz_support.hpp"
#include "tools/chiputil/bus_spec.hpp"
#include "tools/chiputil/text.hpp"

using chiputil::BusKind;
using chiputil::BusSpec;
using chiputil::ParsedBus;

namespace {

std::string spell(uint64_t value, uint8_t how) {
  char text[40];
  switch (how % 3) {
    case 0:
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
      break;
    case 1:
      std::snprintf(text, sizeof text, "0%llu", static_cast<unsigned long long>(value));
      break;
    default:
      std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
      break;
  }
  return text;
}

std::string respell(const BusSpec &target) {
  switch (target.kind) {
    case BusKind::sim:
      return "sim";
    case BusKind::mmio:
      return "mmio:" + target.path + "@" + spell(target.offset, 2);
    case BusKind::mdio:
      return "mdio:" + target.path + ":" + spell(target.phy, 0) +
             (target.devad == 0xFFFFFFFFu ? "" : ":" + spell(target.devad, 0));
    case BusKind::i2c:
      return "i2c:" + target.path + ":" + spell(target.address, 0);
  }
  return "";
}

bool same(const BusSpec &a, const BusSpec &b) {
  return a.kind == b.kind && a.path == b.path && a.offset == b.offset && a.phy == b.phy &&
         a.devad == b.devad && a.address == b.address;
}

void check_error(const ParsedBus &parsed) {
  FUZZ_CHECK(!parsed.error.empty());
  FUZZ_CHECK(chiputil::is_printable(parsed.error));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  const uint8_t kind = in.u8() % 4;
  const std::string path = in.bytes(in.u8() % 24);
  uint64_t numbers[2];
  uint8_t how[2];
  for (int i = 0; i < 2; ++i) {
    numbers[i] = uint64_t{in.le(4)} | (uint64_t{in.le(4)} << 32);
    how[i] = in.u8();
    if (how[i] & 0x80) numbers[i] &= 0x1FFFF;  // mostly near the limits of the small numbers
  }
  const bool optional = (in.u8() & 1) != 0;
  const std::string raw = in.bytes(size);

  // The drawn target and what the parser must make of it. A path holding the
  // separator that follows it ('@' for mmio, ':' otherwise) moves the split
  // to another, equally valid reading: such draws are left to the raw check.
  std::string text;
  BusSpec want;
  bool valid = !path.empty();
  bool checkable = true;
  if (kind == 0) {
    text = "mmio:" + path + (optional ? "@" + spell(numbers[0], how[0]) : "");
    want.kind = BusKind::mmio;
    checkable = path.find('@') == std::string::npos;
    want.path = path;
    want.offset = optional ? numbers[0] : 0;
  } else {
    const bool mdio = kind != 3;
    text = std::string(mdio ? "mdio:" : "i2c:") + path + ":" + spell(numbers[0], how[0]) +
           (mdio && optional ? ":" + spell(numbers[1], how[1]) : "");
    want.kind = mdio ? BusKind::mdio : BusKind::i2c;
    want.path = path;
    checkable = path.find(':') == std::string::npos;
    valid = valid && numbers[0] <= 0xFFFF &&
            (!mdio || !optional || numbers[1] <= 0xFFFF);
    if (mdio) {
      want.phy = static_cast<uint32_t>(numbers[0]);
      want.devad = optional ? static_cast<uint32_t>(numbers[1]) : 0xFFFFFFFFu;
    } else {
      want.address = static_cast<uint32_t>(numbers[0]);
    }
  }
  const ParsedBus parsed = chiputil::parse_bus_spec(text);
  if (!checkable) {
    FUZZ_CHECK(parsed.error.empty() || chiputil::is_printable(parsed.error));
  } else if (valid) {
    FUZZ_CHECK(parsed.error.empty());
    FUZZ_CHECK(same(parsed.target, want));
  } else {
    check_error(parsed);
  }

  // Raw bytes: refused with a printable line, or accepted and stable.
  const ParsedBus any = chiputil::parse_bus_spec(raw);
  if (!any.error.empty()) {
    check_error(any);
  } else if (any.target.kind != BusKind::mmio || any.target.path.find('@') == std::string::npos) {
    const ParsedBus again = chiputil::parse_bus_spec(respell(any.target));
    FUZZ_CHECK(again.error.empty());
    FUZZ_CHECK(same(again.target, any.target));
  }
  return 0;
}
