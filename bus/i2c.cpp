// SPDX-License-Identifier: Apache-2.0
// I2C access functions: one I2C_RDWR transaction per register access on
// /dev/i2c-N. A read is a write of the register address, a repeated start
// and the data; a write is one message holding the address and the data.
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bus_slots.hpp"
#include "ioctl_seam.hpp"

namespace chip_bus {
namespace {

// The register address as sent: most significant byte first.
uint16_t put_reg_addr(const I2cContext &i2c, uint32_t addr, uint8_t *out) {
  if (i2c.reg_addr_bytes == 2) {
    out[0] = static_cast<uint8_t>(addr >> 8);
    out[1] = static_cast<uint8_t>(addr);
    return 2;
  }
  out[0] = static_cast<uint8_t>(addr);
  return 1;
}

void put_data(const I2cContext &i2c, uint32_t value, uint32_t bytes, uint8_t *out) {
  for (uint32_t i = 0; i < bytes; ++i) {
    const uint32_t shift = 8 * (i2c.lsb_first ? i : bytes - 1 - i);
    out[i] = static_cast<uint8_t>(value >> shift);
  }
}

uint32_t get_data(const I2cContext &i2c, const uint8_t *in, uint32_t bytes) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytes; ++i) {
    const uint32_t shift = 8 * (i2c.lsb_first ? i : bytes - 1 - i);
    value |= uint32_t{in[i]} << shift;
  }
  return value;
}

const char *access_problem(const I2cContext &i2c, uint32_t width, uint32_t addr) {
  if (width != 16 && width != 32) {
    return "width must be 16 or 32";
  }
  if (addr > (i2c.reg_addr_bytes == 1 ? 0xFFu : 0xFFFFu)) {
    return i2c.reg_addr_bytes == 1 ? "register address above 0xff (1-byte addresses)"
                                   : "register address above 0xffff (2-byte addresses)";
  }
  return nullptr;
}

int32_t transfer(const I2cContext &i2c, i2c_msg *messages, uint32_t count) {
  i2c_rdwr_ioctl_data request{messages, count};
  errno = 0;
  if (g_ioctl(i2c.fd, I2C_RDWR, &request) < 0) {
    return errno != 0 ? errno : EIO;
  }
  return 0;
}

int32_t read_reg(const char *function, uint32_t dev, uint32_t width, uint32_t addr,
                 uint32_t *value) {
  const Slot *slot = slot_holding(dev, CHIP_BUS_I2C);
  if (slot == nullptr) {
    return refuse_slot(CHIP_TRACE_BUS_READ, CHIP_BUS_I2C, function, dev, width, addr, 0);
  }
  const I2cContext &i2c = slot->i2c;
  const char *problem = value == nullptr ? "null value pointer" : access_problem(i2c, width, addr);
  if (problem != nullptr) {
    return refuse_access(CHIP_TRACE_BUS_READ, CHIP_BUS_I2C, function, dev, width, addr, 0,
                         problem);
  }
  uint8_t reg_addr[2];
  uint8_t data[4] = {0};
  i2c_msg messages[2] = {
      {i2c.addr, 0, put_reg_addr(i2c, addr, reg_addr), reg_addr},
      {i2c.addr, I2C_M_RD, static_cast<uint16_t>(width / 8), data},
  };
  const int32_t status = transfer(i2c, messages, 2);
  const uint32_t word = status == 0 ? get_data(i2c, data, width / 8) : 0;
  if (status == 0) {
    *value = word;
  }
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_READ, CHIP_BUS_I2C, dev, width, addr, word, status);
  return status;
}

int32_t write_reg(const char *function, uint32_t dev, uint32_t width, uint32_t addr,
                  uint32_t value) {
  const Slot *slot = slot_holding(dev, CHIP_BUS_I2C);
  if (slot == nullptr) {
    return refuse_slot(CHIP_TRACE_BUS_WRITE, CHIP_BUS_I2C, function, dev, width, addr, value);
  }
  const I2cContext &i2c = slot->i2c;
  const char *problem = access_problem(i2c, width, addr);
  if (problem == nullptr && width == 16 && value > 0xFFFF) {
    problem = "value wider than 16 bits";
  }
  if (problem != nullptr) {
    return refuse_access(CHIP_TRACE_BUS_WRITE, CHIP_BUS_I2C, function, dev, width, addr, value,
                         problem);
  }
  uint8_t buffer[6];
  const uint16_t addr_bytes = put_reg_addr(i2c, addr, buffer);
  put_data(i2c, value, width / 8, buffer + addr_bytes);
  i2c_msg message = {i2c.addr, 0, static_cast<uint16_t>(addr_bytes + width / 8), buffer};
  const int32_t status = transfer(i2c, &message, 1);
  CHIP_BUS_TRACE_DONE(CHIP_TRACE_BUS_WRITE, CHIP_BUS_I2C, dev, width, addr, value, status);
  return status;
}

int32_t i2c_read16(uint32_t dev, uint16_t addr, uint16_t *value) {
  uint32_t word = 0;
  const int32_t status =
      read_reg("chip_i2c_read16", dev, 16, addr, value != nullptr ? &word : nullptr);
  if (status == 0) {
    *value = static_cast<uint16_t>(word);
  }
  return status;
}
int32_t i2c_write16(uint32_t dev, uint16_t addr, uint16_t value) {
  return write_reg("chip_i2c_write16", dev, 16, addr, value);
}
int32_t i2c_read32(uint32_t dev, uint32_t addr, uint32_t *value) {
  return read_reg("chip_i2c_read32", dev, 32, addr, value);
}
int32_t i2c_write32(uint32_t dev, uint32_t addr, uint32_t value) {
  return write_reg("chip_i2c_write32", dev, 32, addr, value);
}

}  // namespace

int32_t i2c_read(uint32_t dev, uint32_t width, uint32_t addr, uint32_t *value) {
  return read_reg("chip_bus_read", dev, width, addr, value);
}

int32_t i2c_write(uint32_t dev, uint32_t width, uint32_t addr, uint32_t value) {
  return write_reg("chip_bus_write", dev, width, addr, value);
}

}  // namespace chip_bus

extern "C" {

const hdk_reg_ops chip_i2c_reg_ops = {chip_bus::i2c_read16, chip_bus::i2c_write16,
                                      chip_bus::i2c_read32, chip_bus::i2c_write32};

int32_t chip_i2c_attach(uint32_t dev, const char *path, uint32_t addr, uint32_t reg_addr_bytes,
                        uint32_t byte_order) {
  constexpr const char *function = "chip_i2c_attach";
  chip_bus::Slot *slot = chip_bus::free_slot(function, dev);
  if (slot == nullptr) {
    return -1;
  }
  if (path == nullptr || addr < 0x03 || addr > 0x77 ||
      (reg_addr_bytes != 1 && reg_addr_bytes != 2) ||
      (byte_order != CHIP_I2C_MSB_FIRST && byte_order != CHIP_I2C_LSB_FIRST)) {
    return chip_bus::refuse_attach(
        function, dev,
        "needs an adapter path, a 7-bit address 0x03-0x77, 1 or 2 address bytes and a byte order");
  }
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  char reason[512];
  if (fd < 0) {
    std::snprintf(reason, sizeof reason, "cannot open %s: %s", path, std::strerror(errno));
    return chip_bus::refuse_attach(function, dev, reason);
  }
  unsigned long functions = 0;
  if (chip_bus::g_ioctl(fd, I2C_FUNCS, &functions) != 0 || (functions & I2C_FUNC_I2C) == 0) {
    close(fd);
    std::snprintf(reason, sizeof reason,
                  "%s is not an I2C adapter that can do combined transfers (I2C_FUNC_I2C)", path);
    return chip_bus::refuse_attach(function, dev, reason);
  }
  slot->i2c = {fd, static_cast<uint16_t>(addr), static_cast<uint8_t>(reg_addr_bytes),
               byte_order == CHIP_I2C_LSB_FIRST};
  slot->kind = CHIP_BUS_I2C;
  return 0;
}

}  // extern "C"
