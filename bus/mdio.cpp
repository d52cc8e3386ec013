// SPDX-License-Identifier: Apache-2.0
// MDIO access functions: 16-bit PHY registers through the SIOCGMIIREG and
// SIOCSMIIREG ioctls of the network interface that owns the MDIO bus.
#include <linux/mdio.h>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bus_slots.hpp"
#include "ioctl_seam.hpp"

static_assert(chip_bus::kNameMax == IFNAMSIZ);

namespace chip_bus {
namespace {

constexpr uint32_t kWidth = 16;

// One MII ioctl; the mii_ioctl_data lies in the request's union, where the
// kernel's MII handlers look for it. The errno of a failure, or 0.
int32_t mii_ioctl(const MdioContext &mdio, unsigned long request, uint16_t reg, uint16_t value_in,
                  uint16_t *value_out) {
  ifreq request_data{};
  std::memcpy(request_data.ifr_name, mdio.ifname, sizeof request_data.ifr_name);
  mii_ioctl_data mii{};
  mii.phy_id = mdio.phy_id;
  mii.reg_num = reg;
  mii.val_in = value_in;
  static_assert(sizeof mii <= sizeof request_data.ifr_ifru);
  std::memcpy(&request_data.ifr_ifru, &mii, sizeof mii);
  if (g_ioctl(mdio.fd, request, &request_data) != 0) {
    return errno != 0 ? errno : EIO;
  }
  std::memcpy(&mii, &request_data.ifr_ifru, sizeof mii);
  *value_out = mii.val_out;
  return 0;
}

const char *address_problem(const MdioContext &mdio, uint32_t addr) {
  if (!mdio.clause45 && addr > 31) {
    return "clause 22 register address above 31";
  }
  if (addr > 0xFFFF) {
    return "clause 45 register address above 0xffff";
  }
  return nullptr;
}

int32_t read_reg(const char *function, uint32_t dev, uint32_t width, uint32_t addr,
                 uint16_t *value) {
  const Slot *slot = slot_holding(dev, CHIP_BUS_MDIO);
  if (slot == nullptr) {
    return refuse_slot(CHIP_TRACE_BUS_READ, CHIP_BUS_MDIO, function, dev, width, addr, 0);
  }
  const char *problem = width != kWidth ? "MDIO registers are 16 bits wide"
                        : value == nullptr ? "null value pointer"
                                           : address_problem(slot->mdio, addr);
  if (problem != nullptr) {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_MDIO, function, dev, width, addr, 0,
                         problem);
  }
  uint16_t word = 0;
  errno = 0;
  const int32_t status =
      mii_ioctl(slot->mdio, SIOCGMIIREG, static_cast<uint16_t>(addr), 0, &word);
  if (status == 0) {
    *value = word;
  }
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_READ, CHIP_BUS_MDIO, dev, kWidth, addr, uint32_t{word},
                      status);
  return status;
}

int32_t write_reg(const char *function, uint32_t dev, uint32_t width, uint32_t addr,
                  uint32_t value) {
  const Slot *slot = slot_holding(dev, CHIP_BUS_MDIO);
  if (slot == nullptr) {
    return refuse_slot(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MDIO, function, dev, width, addr, value);
  }
  const char *problem = width != kWidth  ? "MDIO registers are 16 bits wide"
                        : value > 0xFFFF ? "value wider than 16 bits"
                                         : address_problem(slot->mdio, addr);
  if (problem != nullptr) {
    return refuse_access(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MDIO, function, dev, width, addr, value,
                         problem);
  }
  uint16_t ignored = 0;
  errno = 0;
  const int32_t status = mii_ioctl(slot->mdio, SIOCSMIIREG, static_cast<uint16_t>(addr),
                                   static_cast<uint16_t>(value), &ignored);
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_WRITE, CHIP_BUS_MDIO, dev, kWidth, addr, value, status);
  return status;
}

int32_t mdio_read16(uint32_t dev, uint16_t addr, uint16_t *value) {
  return read_reg("chip_mdio_read16", dev, 16, addr, value);
}
int32_t mdio_write16(uint32_t dev, uint16_t addr, uint16_t value) {
  return write_reg("chip_mdio_write16", dev, 16, addr, value);
}
// MDIO has no 32-bit registers: a table that routes one here is refused
// with a message rather than left to a null access function.
int32_t mdio_read32(uint32_t dev, uint32_t addr, uint32_t *) {
  return read_reg("chip_mdio_read32", dev, 32, addr, nullptr);
}
int32_t mdio_write32(uint32_t dev, uint32_t addr, uint32_t value) {
  return write_reg("chip_mdio_write32", dev, 32, addr, value);
}

}  // namespace

int32_t mdio_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value) {
  uint16_t word = 0;
  const int32_t status =
      read_reg("chip_bus_read", dev, width, addr, value != nullptr ? &word : nullptr);
  if (status == 0) {
    *value = word;
  }
  return status;
}

int32_t mdio_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value) {
  return write_reg("chip_bus_write", dev, width, addr, value);
}

}  // namespace chip_bus

extern "C" {

const hdk_reg_ops chip_mdio_reg_ops = {chip_bus::mdio_read16, chip_bus::mdio_write16,
                                       chip_bus::mdio_read32, chip_bus::mdio_write32};

int32_t chip_mdio_attach(uint32_t dev, const char *ifname, uint32_t phy, uint32_t devad) {
  constexpr const char *function = "chip_mdio_attach";
  chip_bus::Slot *slot = chip_bus::free_slot(function, dev);
  if (slot == nullptr) {
    return -1;
  }
  if (ifname == nullptr || ifname[0] == '\0' || std::strlen(ifname) >= IFNAMSIZ) {
    return chip_bus::refuse_attach(function, dev, "interface name null, empty or too long");
  }
  const bool clause45 = devad != CHIP_MDIO_CLAUSE22;
  if (phy > 31 || (clause45 && devad > 31)) {
    return chip_bus::refuse_attach(function, dev, "PHY address or MMD above 31");
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return chip_bus::refuse_attach(function, dev, "no socket for the MII ioctls");
  }
  chip_bus::MdioContext mdio{};
  mdio.fd = fd;
  std::memcpy(mdio.ifname, ifname, std::strlen(ifname));
  mdio.clause45 = clause45;
  mdio.phy_id = static_cast<uint16_t>(
      clause45 ? (MDIO_PHY_ID_C45 | (phy << 5) | devad) : phy);
  slot->mdio = mdio;
  slot->kind = CHIP_BUS_MDIO;
  return 0;
}

}  // extern "C"
