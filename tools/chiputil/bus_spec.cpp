// SPDX-License-Identifier: Apache-2.0
#include "bus_spec.hpp"

#include <chip_util/bus.h>
#include <unistd.h>

#include <optional>
#include <regex>
#include <vector>

#include "cli.hpp"
#include "library_messages.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

ParsedBus fail(const std::string &why) {
  return {{}, why};
}

constexpr const char *kExpected =
    "expected mmio:PATH[@OFFSET], mdio:IFACE:PHY[:DEVAD], i2c:/dev/i2c-N:ADDR or sim";

}  // namespace

ParsedBus parse_bus_spec(std::string_view text) {
  const std::string all(text);
  if (all == "sim") {
    return {BusSpec{}, ""};
  }
  const size_t colon = all.find(':');
  if (colon == std::string::npos) {
    return fail("bus " + quoted(all) + ": " + kExpected);
  }
  const std::string kind = all.substr(0, colon);
  const std::string rest = all.substr(colon + 1);
  BusSpec target;
  if (kind == "mmio") {
    target.kind = BusKind::mmio;
    const size_t at = rest.rfind('@');
    target.path = rest.substr(0, at);
    if (at != std::string::npos) {
      const auto offset = parse_number64(rest.substr(at + 1), UINT64_MAX);
      if (!offset) {
        return fail("bus " + quoted(all) + ": OFFSET after @ must be a number");
      }
      target.offset = *offset;
    }
    if (target.path.empty()) {
      return fail("bus " + quoted(all) + ": no file to map");
    }
    return {target, ""};
  }
  // mdio and i2c: a name, then numbers separated by colons (an I2C adapter
  // path holds no colon).
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t next = rest.find(':'); next != std::string::npos; next = rest.find(':', start)) {
    parts.push_back(rest.substr(start, next - start));
    start = next + 1;
  }
  parts.push_back(rest.substr(start));
  std::vector<uint64_t> numbers;
  for (size_t i = 1; i < parts.size(); ++i) {
    const auto value = parse_number64(parts[i], UINT64_MAX);
    if (!value || *value > 0xFFFF) {
      return fail("bus " + quoted(all) + ": " + quoted(parts[i]) + " is not a number up to 0xffff");
    }
    numbers.push_back(*value);
  }
  if (parts[0].empty()) {
    return fail("bus " + quoted(all) + ": " + kExpected);
  }
  target.path = parts[0];
  if (kind == "mdio" && (numbers.size() == 1 || numbers.size() == 2)) {
    target.kind = BusKind::mdio;
    target.phy = static_cast<uint32_t>(numbers[0]);
    target.devad = numbers.size() == 2 ? static_cast<uint32_t>(numbers[1]) : CHIP_MDIO_CLAUSE22;
    return {target, ""};
  }
  if (kind == "i2c" && numbers.size() == 1) {
    target.kind = BusKind::i2c;
    target.address = static_cast<uint32_t>(numbers[0]);
    return {target, ""};
  }
  return fail("bus " + quoted(all) + ": " + kExpected);
}

std::string attach_bus(uint32_t dev, const BusSpec &target, const BusSettings &settings) {
  LibraryMessages messages;
  int32_t result = 0;
  switch (target.kind) {
    case BusKind::sim:
      return {};
    case BusKind::mmio: {
      static const std::regex uio("^/dev/uio[0-9]+$");
      const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
      if (std::regex_match(target.path, uio) && settings.mmio_size == 0) {
        if (target.offset % page != 0) {
          return "a UIO map starts at a multiple of the page size (" + std::to_string(page) + ")";
        }
        result = chip_mmio_attach_uio(dev, target.path.c_str(),
                                      static_cast<uint32_t>(target.offset / page), nullptr);
      } else {
        result = chip_mmio_attach_file(dev, target.path.c_str(), target.offset, settings.mmio_size);
      }
      break;
    }
    case BusKind::mdio:
      result = chip_mdio_attach(dev, target.path.c_str(), target.phy, target.devad);
      break;
    case BusKind::i2c:
      result = chip_i2c_attach(dev, target.path.c_str(), target.address, settings.i2c_addr_bytes,
                               settings.i2c_lsb_first ? CHIP_I2C_LSB_FIRST : CHIP_I2C_MSB_FIRST);
      break;
  }
  return result == 0 ? std::string{} : messages.last_or("the bus could not be attached");
}

}  // namespace chiputil
