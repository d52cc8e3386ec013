// SPDX-License-Identifier: Apache-2.0
// The registry, the exact refusal messages of the parameter check and of
// the field functions, and their success paths on the simulated chip.
// Random tables, calls and fields against reference models, exact access
// sequences and messages included: fuzz/fuzz_reg_field.cpp and
// fuzz/fuzz_wide_field.cpp.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <array>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 3;

// One instance at 0x100. Register 0 is an array of four bit-indexed
// nibbles from bit 28: element 1 is bits 0-3 of the next word. Register 2
// is bits 20-59 of a 128-bit register.
const hdk_reg_info kRegs[] = {HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED),
                              HDK_REG16_FIELD(0x30, 4, 3), HDK_REG_INFO(0x60, 16, 20, 40, 1, 0, 0)};
const hdk_reg_inst kInst = {0x100, 0, 0, 3, kRegs};
const hdk_reg_module kModule = {0, 1, &kInst, 0, 0};

// A table is filed under the chip id its device resolves to; a later table
// replaces the earlier one (here one without modules: code 0x2). A device
// number of 320 or more is its own chip id; its resolver is ignored and its
// table too (1). A chip id of 320 or more and a null table are refused
// (-1), storing nothing; look-up and check through such a device refuse
// silently.
TEST(Registry, ResolversAndRegistrationOrder) {
  // Device 7 resolves to chip id 3, device 5 to 320.
  const hdk_chip_id_resolver resolve = [](uint32_t dev) { return dev == 5 ? HDK_MAX_CHIP_NUM : kDev; };
  for (const uint32_t dev : {7u, 5u, HDK_MAX_DEV_NUM}) hdk_register_reg_chip_id(dev, resolve);
  EXPECT_EQ(hdk_get_reg_chip_id(HDK_MAX_DEV_NUM), HDK_MAX_DEV_NUM);
  hdk_chip_reg_table first = {0xDEAD, 1, &kModule, {0, 0, 0, 0, 0}, nullptr};
  hdk_chip_reg_table later = {0xDEAD, 5, nullptr, {0, 0, 0, 0, 0}, nullptr};  // no modules
  EXPECT_EQ(hdk_register_reg(HDK_MAX_DEV_NUM, &first), 1);
  EXPECT_EQ(hdk_register_reg(7, nullptr), -1);
  EXPECT_EQ(hdk_register_reg(5, &first), -1) << "chip id 320";
  EXPECT_EQ(first.chip_id, 0xDEADu);
  EXPECT_EQ(hdk_register_reg(7, &first), 0);
  EXPECT_TRUE(first.chip_id == kDev && g_hdk_chip_reg[kDev] == &first);
  const hdk_reg_module *module = nullptr;
  const hdk_reg_inst *inst = nullptr;
  const hdk_reg_info *reg = nullptr;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 7, 0, 2, 0, &module, &inst, &reg), 0);
  EXPECT_TRUE(module == &kModule && inst == &kInst && reg == &kRegs[2]);
  EXPECT_EQ(hdk_get_reg_info(7, 1, 2), nullptr);
  EXPECT_EQ(hdk_get_reg_info(7, 0, HDK_REG_ID(1, 2)), nullptr);
  EXPECT_EQ(hdk_register_reg(7, &later), 0);
  EXPECT_TRUE(later.chip_id == kDev && g_hdk_chip_reg[kDev] == &later);
  chip_test::PrintCapture capture;
  for (const uint32_t dev : {7u, 5u, HDK_MAX_DEV_NUM}) {
    EXPECT_EQ(hdk_get_reg_info(dev, 0, 0), nullptr);
    EXPECT_EQ(hdk_para_chk_and_get_module("f", dev, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  }
  EXPECT_EQ(capture.calls(), std::vector<std::string>{"\r\nf(7, 0, 0x0, 0) error code 0x2."});
  for (const uint32_t dev : {5u, 7u}) hdk_register_reg_chip_id(dev, nullptr);
  g_hdk_chip_reg[kDev] = nullptr;
}

// On the simulated chip. Refusals print one exact message each, in call
// order, or none for a null pointer, and touch no register. The parameter
// check reports the first failing index (every later one is bad too); the
// field functions check the width before the pointer and the value before
// any access. Images are most significant word first: bits 20-59 lie in
// words 3 and 2. Where the heap can be counted, no success path allocates.
TEST(Registry, FieldFunctions) {
  chip_sim_reset();
  hdk_chip_reg_table table = {0, 1, &kModule, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
  ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
  uint32_t word = 0;
  uint16_t half = 0;
  std::array<uint32_t, 4> image = {0, 0, 0x0ABCDEF1, 0x23456789};
  std::array<uint32_t, 2> field = {};
  chip_test::PrintCapture capture;
  // A braced list makes its calls in order.
  const std::vector<int32_t> refused = {
      hdk_para_chk_and_get_module("chk", kDev, 1, 0xFFC00009, 9, nullptr, nullptr, nullptr),
      hdk_para_chk_and_get_module("chk", kDev, 1, 0x9, 9, nullptr, nullptr, nullptr),
      hdk_para_chk_and_get_module(nullptr, kDev, 0, 0x0, 4, nullptr, nullptr, nullptr),
      hdk_access_reg_field(kDev, 0, 9, 0, nullptr, nullptr, 0), hdk_read_reg32_field(kDev, 0, 1, 0, nullptr),
      hdk_write_reg32_field(kDev, 0, 1, 0, 1), hdk_write_reg16_field(kDev, 0, 1, 0, 8),
      hdk_read_reg32_field(kDev, 0, 0, 0, nullptr), hdk_set_reg_field32(kDev, 0, 0, 0, nullptr, 1),
      hdk_read_reg16_field(kDev, 0, 1, 0, nullptr), hdk_access_reg_field(kDev, 0, 2, 0, &word, nullptr, 0)};
  EXPECT_EQ(refused, std::vector<int32_t>(refused.size(), -1));
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{"\r\nchk(3, 1, 0xffc00009, 9) error code 0x2.",
                                      "\r\nchk(3, 1, 0x9, 9) error code 0x4.",
                                      "\r\n(null)(3, 0, 0x0, 4) error code 0x10.",
                                      "\r\nhdk_access_reg_field(3, 0, 0x9, 0) error code 0x8.",
                                      "\r\nhdk_read_reg32_field(3, 0, 0x1, 0) error code 0xffffffff.",
                                      "\r\nhdk-write-reg32-field(3, 0, 0x1, 0)fail",
                                      "\r\nhdk_write_reg16_field(3, 0, 0x1, 0, 8) error code 0xffffffff."}));
  EXPECT_EQ(chip_sim_log_count(), 0u);

  const bool counted = chip_test::AllocCounter::available();  // its first call allocates
  const chip_test::AllocCounter counter;
  EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 1, 0, 5), 0);
  EXPECT_EQ(hdk_read_reg16_field(kDev, 0, 1, 0, &half), 0);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 1, 0xA), 0);
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 1, &word), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 1, &word, 0x5), 0);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 2, 0, image.data(), field.data(), 0), 0);
  EXPECT_EQ(field, (std::array<uint32_t, 2>{0xAB, 0xCDEF1234}));
  field = {0x12, 0x3456789A};
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 2, 0, image.data(), field.data(), 1), 0);
  EXPECT_EQ(image, (std::array<uint32_t, 4>{0, 0, 0x01234567, 0x89A56789}));
  if (counted) {
    EXPECT_EQ(counter.allocations(), 0u);
  }
  g_hdk_chip_reg[kDev] = nullptr;
}

}  // namespace
