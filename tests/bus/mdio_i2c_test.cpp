// SPDX-License-Identifier: Apache-2.0
// MDIO and I2C request encoding, checked at the ioctl seam: every request
// the backends send, byte for byte, for each width, clause and byte order,
// and how bus errors and refusals come back.
#include <chip_util/bus.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bus/ioctl_seam.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 21;

// One request as the seam saw it.
struct Request {
  unsigned long request;
  std::string ifname;                    // MDIO
  mii_ioctl_data mii;                    // MDIO
  std::vector<std::vector<uint8_t>> out; // I2C: bytes of each write message
  std::vector<uint16_t> addrs, flags, lens;
};

struct Seam {
  std::vector<Request> seen;
  uint16_t mii_answer = 0;
  std::vector<uint8_t> i2c_answer;
  int fail_errno = 0;  // the next request fails with this
  unsigned long functions = I2C_FUNC_I2C;
};
Seam g_seam;

int fake_ioctl(int, unsigned long request, void *arg) {
  if (request == I2C_FUNCS) {
    *static_cast<unsigned long *>(arg) = g_seam.functions;
    return 0;
  }
  Request seen{};
  seen.request = request;
  if (request == SIOCGMIIREG || request == SIOCSMIIREG) {
    auto *ifr = static_cast<ifreq *>(arg);
    seen.ifname = ifr->ifr_name;
    std::memcpy(&seen.mii, &ifr->ifr_ifru, sizeof seen.mii);
    mii_ioctl_data answer = seen.mii;
    answer.val_out = g_seam.mii_answer;
    std::memcpy(&ifr->ifr_ifru, &answer, sizeof answer);
  } else if (request == I2C_RDWR) {
    auto *rdwr = static_cast<i2c_rdwr_ioctl_data *>(arg);
    for (uint32_t i = 0; i < rdwr->nmsgs; ++i) {
      const i2c_msg &message = rdwr->msgs[i];
      seen.addrs.push_back(message.addr);
      seen.flags.push_back(message.flags);
      seen.lens.push_back(message.len);
      if ((message.flags & I2C_M_RD) != 0) {
        std::memcpy(message.buf, g_seam.i2c_answer.data(),
                    std::min<size_t>(message.len, g_seam.i2c_answer.size()));
      } else {
        seen.out.emplace_back(message.buf, message.buf + message.len);
      }
    }
  }
  g_seam.seen.push_back(seen);
  if (g_seam.fail_errno != 0) {
    errno = g_seam.fail_errno;
    g_seam.fail_errno = 0;
    return -1;
  }
  return request == I2C_RDWR ? static_cast<int>(static_cast<i2c_rdwr_ioctl_data *>(arg)->nmsgs)
                             : 0;
}

class SeamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = chip_bus::g_ioctl;
    chip_bus::g_ioctl = fake_ioctl;
    g_seam = Seam{};
  }
  void TearDown() override {
    chip_bus_detach(kDev);
    chip_bus::g_ioctl = saved_;
  }
  chip_bus::IoctlFunc saved_ = nullptr;
};

// Clause 22 and clause 45 reads and writes: the interface, the phy_id
// word, the register number and the value, in SIOCGMIIREG / SIOCSMIIREG.
TEST_F(SeamTest, MdioRequests) {
  struct Case {
    uint32_t devad;
    uint32_t addr;
    uint16_t phy_id;
  };
  for (const Case &c : {Case{CHIP_MDIO_CLAUSE22, 31, 5}, Case{1, 0xC123, 0x8000 | 5 << 5 | 1},
                        Case{31, 0xFFFF, 0x8000 | 5 << 5 | 31}}) {
    g_seam = Seam{};
    ASSERT_EQ(chip_mdio_attach(kDev, "eth3", 5, c.devad), 0);
    g_seam.mii_answer = 0x796D;
    uint16_t value = 0;
    EXPECT_EQ(chip_mdio_reg_ops.read16(kDev, static_cast<uint16_t>(c.addr), &value), 0);
    EXPECT_EQ(value, 0x796D);
    EXPECT_EQ(chip_mdio_reg_ops.write16(kDev, static_cast<uint16_t>(c.addr), 0x1140), 0);
    uint32_t wide = 0;
    EXPECT_EQ(chip_bus_read(kDev, 16, c.addr, &wide), 0);
    EXPECT_EQ(wide, 0x796Du);
    ASSERT_EQ(g_seam.seen.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      const Request &r = g_seam.seen[i];
      EXPECT_EQ(r.request, i == 1 ? static_cast<unsigned long>(SIOCSMIIREG)
                                  : static_cast<unsigned long>(SIOCGMIIREG));
      EXPECT_EQ(r.ifname, "eth3");
      EXPECT_EQ(r.mii.phy_id, c.phy_id);
      EXPECT_EQ(r.mii.reg_num, c.addr);
      EXPECT_EQ(r.mii.val_in, i == 1 ? 0x1140 : 0);
    }
    ASSERT_EQ(chip_bus_detach(kDev), 0);
  }
}

// A failed ioctl is a bus error: its errno as the status, value untouched,
// nothing logged. Refusals log and send nothing.
TEST_F(SeamTest, MdioErrorsAndRefusals) {
  ASSERT_EQ(chip_mdio_attach(kDev, "eth3", 5, CHIP_MDIO_CLAUSE22), 0);
  chip_test::PrintCapture capture;
  g_seam.fail_errno = ETIMEDOUT;
  uint16_t value = 0xAAAA;
  EXPECT_EQ(chip_mdio_reg_ops.read16(kDev, 1, &value), ETIMEDOUT);
  EXPECT_EQ(value, 0xAAAA);
  EXPECT_TRUE(capture.calls().empty());
  EXPECT_EQ(chip_mdio_reg_ops.read16(kDev, 32, &value), -1);
  EXPECT_EQ(chip_mdio_reg_ops.write32(kDev, 1, 1), -1);
  EXPECT_EQ(chip_bus_write(kDev, 16, 1, 0x10000), -1);
  EXPECT_EQ(chip_mdio_attach(kDev + 1, "an-interface-name", 5, CHIP_MDIO_CLAUSE22), -1);
  EXPECT_EQ(chip_mdio_attach(kDev + 1, "eth3", 32, CHIP_MDIO_CLAUSE22), -1);
  EXPECT_EQ(g_seam.seen.size(), 1u);
  const std::vector<std::string> expected = {
      "\r\nchip_mdio_read16(21, 0x20): clause 22 register address above 31",
      "\r\nchip_mdio_write32(21, 0x1): MDIO registers are 16 bits wide",
      "\r\nchip_bus_write(21, 0x1): value wider than 16 bits",
      "\r\nchip_mdio_attach(22, ...): interface name null, empty or too long",
      "\r\nchip_mdio_attach(22, ...): PHY address or MMD above 31",
  };
  EXPECT_EQ(capture.calls(), expected);
}

// I2C: a read is one I2C_RDWR with the register address written and the
// data read after a repeated start; a write is one message. Address bytes
// go most significant first; data in the attached byte order.
TEST_F(SeamTest, I2cRequests) {
  const std::string adapter = ::testing::TempDir() + "i2c-adapter." + std::to_string(getpid());
  std::ofstream(adapter) << "";
  struct Case {
    uint32_t addr_bytes;
    uint32_t order;
    uint32_t width;
    uint32_t reg;
    std::vector<uint8_t> reg_bytes;
    std::vector<uint8_t> data;  // on the wire, for value 0xA1B2C3D4 or 0xC3D4
    uint32_t value;
  };
  const Case cases[] = {
      {1, CHIP_I2C_MSB_FIRST, 16, 0x7F, {0x7F}, {0xC3, 0xD4}, 0xC3D4},
      {1, CHIP_I2C_LSB_FIRST, 16, 0xFF, {0xFF}, {0xD4, 0xC3}, 0xC3D4},
      {2, CHIP_I2C_MSB_FIRST, 32, 0x1234, {0x12, 0x34}, {0xA1, 0xB2, 0xC3, 0xD4}, 0xA1B2C3D4},
      {2, CHIP_I2C_LSB_FIRST, 32, 0xFFFF, {0xFF, 0xFF}, {0xD4, 0xC3, 0xB2, 0xA1}, 0xA1B2C3D4},
  };
  for (const Case &c : cases) {
    g_seam = Seam{};
    ASSERT_EQ(chip_i2c_attach(kDev, adapter.c_str(), 0x50, c.addr_bytes, c.order), 0);
    g_seam.i2c_answer = c.data;
    uint32_t value = 0;
    EXPECT_EQ(chip_bus_read(kDev, c.width, c.reg, &value), 0);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(chip_bus_write(kDev, c.width, c.reg, c.value), 0);
    ASSERT_EQ(g_seam.seen.size(), 2u);
    const Request &read = g_seam.seen[0];
    EXPECT_EQ(read.request, static_cast<unsigned long>(I2C_RDWR));
    EXPECT_EQ(read.addrs, (std::vector<uint16_t>{0x50, 0x50}));
    EXPECT_EQ(read.flags, (std::vector<uint16_t>{0, I2C_M_RD}));
    EXPECT_EQ(read.lens, (std::vector<uint16_t>{static_cast<uint16_t>(c.addr_bytes),
                                                static_cast<uint16_t>(c.width / 8)}));
    EXPECT_EQ(read.out, std::vector<std::vector<uint8_t>>{c.reg_bytes});
    const Request &write = g_seam.seen[1];
    std::vector<uint8_t> sent = c.reg_bytes;
    sent.insert(sent.end(), c.data.begin(), c.data.end());
    EXPECT_EQ(write.addrs, std::vector<uint16_t>{0x50});
    EXPECT_EQ(write.flags, std::vector<uint16_t>{0});
    EXPECT_EQ(write.out, std::vector<std::vector<uint8_t>>{sent});
    ASSERT_EQ(chip_bus_detach(kDev), 0);
  }
  // The 16-bit access functions of the table, and a bus error.
  ASSERT_EQ(chip_i2c_attach(kDev, adapter.c_str(), 0x50, 1, CHIP_I2C_MSB_FIRST), 0);
  g_seam.i2c_answer = {0x12, 0x34};
  uint16_t half = 0;
  EXPECT_EQ(chip_i2c_reg_ops.read16(kDev, 3, &half), 0);
  EXPECT_EQ(half, 0x1234);
  g_seam.fail_errno = ENXIO;
  EXPECT_EQ(chip_i2c_reg_ops.read16(kDev, 3, &half), ENXIO);
  EXPECT_EQ(half, 0x1234);
  // Refusals: a 2-byte address on a 1-byte chip, a value too wide, an
  // adapter without plain I2C transfers.
  chip_test::PrintCapture capture;
  const size_t sent_before = g_seam.seen.size();
  EXPECT_EQ(chip_i2c_reg_ops.write16(kDev, 0x100, 1), -1);
  EXPECT_EQ(chip_bus_write(kDev, 16, 1, 0x10000), -1);
  g_seam.functions = I2C_FUNC_SMBUS_BYTE_DATA;
  EXPECT_EQ(chip_i2c_attach(kDev + 1, adapter.c_str(), 0x50, 1, CHIP_I2C_MSB_FIRST), -1);
  EXPECT_EQ(chip_i2c_attach(kDev + 1, adapter.c_str(), 0x78, 1, CHIP_I2C_MSB_FIRST), -1);
  EXPECT_EQ(g_seam.seen.size(), sent_before);
  const std::vector<std::string> expected = {
      "\r\nchip_i2c_write16(21, 0x100): register address above 0xff (1-byte addresses)",
      "\r\nchip_bus_write(21, 0x1): value wider than 16 bits",
      "\r\nchip_i2c_attach(22, ...): " + adapter +
          " is not an I2C adapter that can do combined transfers (I2C_FUNC_I2C)",
      "\r\nchip_i2c_attach(22, ...): needs an adapter path, a 7-bit address 0x03-0x77, 1 or 2 "
      "address bytes and a byte order",
  };
  EXPECT_EQ(capture.calls(), expected);
  std::remove(adapter.c_str());
}

}  // namespace
