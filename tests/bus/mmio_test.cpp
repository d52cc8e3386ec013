// SPDX-License-Identifier: Apache-2.0
// The MMIO backend on a memfd mapped as a BAR: every width, the exact
// refusals, each way of attaching, the field functions on top, and a
// randomized run against a byte-array model of the BAR.
#include <chip_util/bus.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bus/bus_slots.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 11;
constexpr size_t kBarSize = 0x2000;

// A memfd of `size` bytes, seen through its own mapping so that the test
// reads the bytes that the backend's accesses left.
class Bar {
 public:
  explicit Bar(size_t size) : size_(size) {
    fd_ = memfd_create("bar", MFD_CLOEXEC);
    EXPECT_EQ(ftruncate(fd_, static_cast<off_t>(size)), 0);
    view_ = static_cast<uint8_t *>(
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0));
  }
  ~Bar() {
    munmap(view_, size_);
    close(fd_);
  }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
  uint8_t *bytes() { return view_; }

 private:
  size_t size_;
  int fd_;
  uint8_t *view_;
};

class Mmio : public ::testing::Test {
 protected:
  void TearDown() override { chip_bus_detach(kDev); }
};

// 16- and 32-bit accesses land little-endian at exactly their bytes, and
// read back through both the access functions and chip_bus_read.
TEST_F(Mmio, EveryWidthLandsLittleEndian) {
  Bar bar(kBarSize);
  ASSERT_EQ(chip_mmio_attach_pci(kDev, bar.path().c_str()), 0);
  EXPECT_EQ(chip_bus_kind(kDev), CHIP_BUS_MMIO);
  EXPECT_EQ(chip_mmio_size(kDev), kBarSize);
  EXPECT_EQ(chip_mmio_reg_ops.write32(kDev, 0x10, 0x11223344), 0);
  EXPECT_EQ(chip_mmio_reg_ops.write16(kDev, 0x16, 0xA1B2), 0);
  EXPECT_EQ(chip_bus_write(kDev, 16, 0x1FFE, 0xC3D4), 0);
  const uint8_t expected[] = {0x44, 0x33, 0x22, 0x11, 0, 0, 0xB2, 0xA1};
  EXPECT_EQ(std::memcmp(bar.bytes() + 0x10, expected, sizeof expected), 0);
  EXPECT_EQ(bar.bytes()[0x1FFE], 0xD4);
  EXPECT_EQ(bar.bytes()[0x1FFF], 0xC3);
  uint32_t word = 0;
  uint16_t half = 0;
  EXPECT_EQ(chip_mmio_reg_ops.read32(kDev, 0x14, &word), 0);
  EXPECT_EQ(word, 0xA1B20000u);
  EXPECT_EQ(chip_mmio_reg_ops.read16(kDev, 0x12, &half), 0);
  EXPECT_EQ(half, 0x1122);
  EXPECT_EQ(chip_bus_read(kDev, 16, 0x1FFE, &word), 0);
  EXPECT_EQ(word, 0xC3D4u);
  EXPECT_EQ(chip_bus_read(kDev, 32, 0x1FFC, &word), 0);
  EXPECT_EQ(word, 0xC3D40000u);
}

// Each refusal logs one exact line, touches no byte and leaves the value
// pointer alone.
TEST_F(Mmio, RefusalsAreExactAndTouchNothing) {
  Bar bar(kBarSize);
  chip_test::PrintCapture capture;
  uint32_t word = 0xFEEDu;
  uint16_t half = 0xBEEF;
  EXPECT_EQ(chip_mmio_reg_ops.read32(kDev, 0, &word), -1);
  EXPECT_EQ(chip_mmio_reg_ops.write16(400, 2, 1), -1);
  ASSERT_EQ(chip_mmio_attach_pci(kDev, bar.path().c_str()), 0);
  EXPECT_EQ(chip_mmio_reg_ops.read32(kDev, 0x1FFE, &word), -1);
  EXPECT_EQ(chip_mmio_reg_ops.read32(kDev, 0x2000, &word), -1);
  EXPECT_EQ(chip_mmio_reg_ops.write16(kDev, 0x1001, 7), -1);
  EXPECT_EQ(chip_bus_write(kDev, 16, 0x2000, 7), -1);
  EXPECT_EQ(chip_bus_write(kDev, 16, 0x10, 0x10000), -1);
  EXPECT_EQ(chip_bus_read(kDev, 8, 0x10, &word), -1);
  EXPECT_EQ(chip_mmio_reg_ops.read16(kDev, 0x10, nullptr), -1);
  EXPECT_EQ(chip_mdio_reg_ops.read16(kDev, 1, &half), -1);
  EXPECT_EQ(chip_bus_read(12, 32, 0, &word), -1);
  EXPECT_EQ(word, 0xFEEDu);
  EXPECT_EQ(half, 0xBEEF);
  EXPECT_EQ(std::vector<uint8_t>(bar.bytes(), bar.bytes() + kBarSize),
            std::vector<uint8_t>(kBarSize, 0));
  const std::vector<std::string> expected = {
      "\r\nchip_mmio_read32(11, 0x0): no bus attached to device 11",
      "\r\nchip_mmio_write16(400, 0x2): device number above 319",
      "\r\nchip_mmio_read32(11, 0x1ffe): address not aligned to 4 bytes",
      "\r\nchip_mmio_read32(11, 0x2000): address outside the mapping",
      "\r\nchip_mmio_write16(11, 0x1001): address not aligned to 2 bytes",
      "\r\nchip_mmio_write16(11, 0x2000): address outside the mapping",
      "\r\nchip_bus_write(11, 0x10): value wider than 16 bits",
      "\r\nchip_bus_read(11, 0x10): width must be 16 or 32",
      "\r\nchip_mmio_read16(11, 0x10): null value pointer",
      "\r\nchip_mdio_read16(11, 0x1): device 11 has an mmio bus attached, not mdio",
      "\r\nchip_bus_read(12, 0x0): no bus attached to device 12",
  };
  EXPECT_EQ(capture.calls(), expected);
}

// Attach refusals, with the reasons a person at the machine needs.
TEST_F(Mmio, AttachRefusals) {
  Bar bar(kBarSize);
  const std::string missing = ::testing::TempDir() + "no-such-bar";
  chip_test::PrintCapture capture;
  EXPECT_EQ(chip_mmio_attach_pci(kDev, missing.c_str()), -1);
  EXPECT_EQ(chip_mmio_attach_pci(320, bar.path().c_str()), -1);
  EXPECT_EQ(chip_mmio_attach_file(kDev, bar.path().c_str(), 0x1000, 0x1001), -1);
  EXPECT_EQ(chip_mmio_attach_file(kDev, bar.path().c_str(), 0x2000, 0), -1);
  EXPECT_EQ(chip_mmio_attach_file(kDev, "/dev/zero", 0, 0), -1);
  alignas(4) static uint8_t memory[16];
  EXPECT_EQ(chip_mmio_attach_memory(kDev, memory + 2, 8), -1);
  EXPECT_EQ(chip_bus_kind(kDev), CHIP_BUS_NONE);
  ASSERT_EQ(chip_mmio_attach_memory(kDev, memory, sizeof memory), 0);
  EXPECT_EQ(chip_mmio_attach_pci(kDev, bar.path().c_str()), -1);
  const std::vector<std::string> expected = {
      "\r\nchip_mmio_attach_pci(11, ...): cannot open " + missing +
          ": No such file or directory",
      "\r\nchip_mmio_attach_pci(320, ...): device number above 319",
      "\r\nchip_mmio_attach_file(11, ...): the range passes the end of the file",
      "\r\nchip_mmio_attach_file(11, ...): nothing to map: the range is empty",
      "\r\nchip_mmio_attach_file(11, ...): give the size of the region to map",
      "\r\nchip_mmio_attach_memory(11, ...): base not aligned to 4 bytes",
      "\r\nchip_mmio_attach_pci(11, ...): an mmio bus is attached already; detach it first",
  };
  EXPECT_EQ(capture.calls(), expected);
  EXPECT_EQ(chip_bus_detach(kDev), 0);
  EXPECT_EQ(chip_bus_detach(kDev), -1);
  char text[256];
  chip_bus::describe_os_failure(text, sizeof text, "open", "/sys/x/resource0", EACCES);
  EXPECT_STREQ(text,
               "cannot open /sys/x/resource0: Permission denied (not root, the region claimed by "
               "a kernel driver, or kernel lockdown)");
  chip_bus::describe_os_failure(text, sizeof text, "map", "/dev/uio0", EPERM);
  EXPECT_STREQ(text,
               "cannot map /dev/uio0: Operation not permitted (not root, the region claimed by "
               "a kernel driver, or kernel lockdown)");
}

// A file mapped from an offset that is not a page multiple, and a UIO map
// found at map * page size with its size from the (injected) sysfs tree.
TEST_F(Mmio, FileOffsetAndUioMap) {
  const long page = sysconf(_SC_PAGESIZE);
  Bar bar(static_cast<size_t>(3 * page));
  ASSERT_EQ(chip_mmio_attach_file(kDev, bar.path().c_str(), 0x1004, 0x100), 0);
  EXPECT_EQ(chip_mmio_size(kDev), 0x100u);
  EXPECT_EQ(chip_mmio_reg_ops.write32(kDev, 0xFC, 0xCAFEF00D), 0);
  EXPECT_EQ(chip_mmio_reg_ops.write32(kDev, 0x100, 1), -1);
  uint32_t at_file_byte = 0;
  std::memcpy(&at_file_byte, bar.bytes() + 0x1100, 4);
  EXPECT_EQ(at_file_byte, 0xCAFEF00Du);
  ASSERT_EQ(chip_bus_detach(kDev), 0);

  const std::filesystem::path dir = ::testing::TempDir() + "uio." + std::to_string(getpid());
  std::filesystem::create_directories(dir / "sys/uio7/maps/map1");
  std::ofstream(dir / "sys/uio7/maps/map1/size") << "0x00000040\n";
  const std::filesystem::path uio = dir / "uio7";
  std::filesystem::create_symlink(bar.path(), uio);
  {
    chip_test::PrintCapture capture;
    EXPECT_EQ(chip_mmio_attach_uio(kDev, uio.c_str(), 0, (dir / "sys").c_str()), -1);
    ASSERT_EQ(capture.calls().size(), 1u);
    EXPECT_EQ(capture.calls()[0], "\r\nchip_mmio_attach_uio(11, ...): no size for map 0 in " +
                                      (dir / "sys").string() + "/uio7/maps/map0/size");
  }
  ASSERT_EQ(chip_mmio_attach_uio(kDev, uio.c_str(), 1, (dir / "sys").c_str()), 0);
  EXPECT_EQ(chip_mmio_size(kDev), 0x40u);
  EXPECT_EQ(chip_mmio_reg_ops.write16(kDev, 0x3E, 0x5AA5), 0);
  EXPECT_EQ(bar.bytes()[page + 0x3E], 0xA5);
  EXPECT_EQ(bar.bytes()[page + 0x3F], 0x5A);
  std::filesystem::remove_all(dir);
}

// The field functions through chip_mmio_reg_ops: a read-modify-write lands
// in the BAR's bytes, and a refused access shows as the status.
TEST_F(Mmio, FieldFunctionsOverMmio) {
  Bar bar(kBarSize);
  ASSERT_EQ(chip_mmio_attach_pci(kDev, bar.path().c_str()), 0);
  const hdk_reg_info regs[] = {HDK_REG32_FIELD(0x20, 8, 4), HDK_REG16_FIELD(0x42, 4, 3),
                               HDK_REG32_WHOLE(0x1FFE)};
  const hdk_reg_inst inst = {0x1000, 0, 0, 3, regs};
  const hdk_reg_module module = {0, 1, &inst, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, &chip_mmio_reg_ops};
  ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
  bar.bytes()[0x1020] = 0xFF;
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 0, 0xA), 0);
  EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 1, 0, 5), 0);
  EXPECT_EQ(bar.bytes()[0x1020], 0xFF);
  EXPECT_EQ(bar.bytes()[0x1021], 0x0A);
  EXPECT_EQ(bar.bytes()[0x1042], 0x50);
  uint32_t field = 0;
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 0, &field), 0);
  EXPECT_EQ(field, 0xAu);
  chip_test::PrintCapture capture;
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 2, 0, &field), -1);
  ASSERT_EQ(capture.calls().size(), 1u);
  EXPECT_EQ(capture.calls()[0], "\r\nchip_mmio_read32(11, 0x2ffe): address not aligned to 4 bytes");
  g_hdk_chip_reg[kDev] = nullptr;
}

// Random accesses of both widths, aligned or not, inside and past the
// mapping, against a byte array that models the BAR: same statuses, same
// values read, same bytes at the end.
TEST_F(Mmio, RandomAccessesMatchByteModel) {
  constexpr size_t kSize = 0x100;
  Bar bar(kSize);
  ASSERT_EQ(chip_mmio_attach_pci(kDev, bar.path().c_str()), 0);
  std::vector<uint8_t> model(kSize, 0);
  std::mt19937 random(20261206);
  const hdk_printf_func quiet = g_hdk_printf_func;
  hdk_printf_func_register(nullptr);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t width = random() % 2 == 0 ? 16 : 32;
    const uint32_t bytes = width / 8;
    const uint32_t addr = random() % (kSize + 8);
    const bool write = random() % 2 == 0;
    const uint32_t value = width == 16 ? random() & 0xFFFF : static_cast<uint32_t>(random());
    const bool fits = addr % bytes == 0 && addr + bytes <= kSize;
    if (write) {
      ASSERT_EQ(chip_bus_write(kDev, width, addr, value), fits ? 0 : -1) << addr;
      for (uint32_t b = 0; fits && b < bytes; ++b) {
        model[addr + b] = static_cast<uint8_t>(value >> (8 * b));
      }
    } else {
      uint32_t got = 0xDEADDEAD;
      ASSERT_EQ(chip_bus_read(kDev, width, addr, &got), fits ? 0 : -1) << addr;
      uint32_t want = 0xDEADDEAD;
      if (fits) {
        want = 0;
        for (uint32_t b = 0; b < bytes; ++b) want |= uint32_t{model[addr + b]} << (8 * b);
      }
      ASSERT_EQ(got, want) << addr;
    }
  }
  hdk_printf_func_register(quiet);
  EXPECT_EQ(std::vector<uint8_t>(bar.bytes(), bar.bytes() + kSize), model);
}

}  // namespace
