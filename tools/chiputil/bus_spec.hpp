// SPDX-License-Identifier: Apache-2.0
// The --bus argument of `chiputil reg`: which bus reaches the chip, parsed
// into a plain record, and attached as one device number of the library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace chiputil {

enum class BusKind { mmio, mdio, i2c, sim };

struct BusSpec {
  BusKind kind = BusKind::sim;
  std::string path;     // mmio: the file; mdio: the interface; i2c: the adapter
  uint64_t offset = 0;  // mmio: where the registers start in the file
  uint32_t phy = 0;     // mdio
  uint32_t devad = 0;   // mdio: the clause 45 MMD, or CHIP_MDIO_CLAUSE22
  uint32_t address = 0; // i2c: the 7-bit chip address
};

struct ParsedBus {
  BusSpec target;
  std::string error;  // empty when the text parsed
};

// mmio:PATH[@OFFSET], mdio:IFACE:PHY[:DEVAD], i2c:ADAPTER:ADDR or sim.
// Numbers are decimal or 0x hex. Only the syntax is checked here; the
// library refuses values it cannot use when the bus is attached.
ParsedBus parse_bus_spec(std::string_view text);

// How to attach beyond the target: mmio size (0: the whole file from the
// offset) and the I2C register address bytes and data byte order.
struct BusSettings {
  uint64_t mmio_size = 0;
  uint32_t i2c_addr_bytes = 1;
  bool i2c_lsb_first = false;
};

// Attaches `target` to device number `dev` (nothing to attach for sim).
// Returns an empty string, or why the library refused.
std::string attach_bus(uint32_t dev, const BusSpec &target, const BusSettings &settings);

}  // namespace chiputil
