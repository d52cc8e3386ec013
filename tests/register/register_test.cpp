// The registry, the exact refusal messages of the parameter check and of
// the field functions, and their success paths on the simulated chip.
// Random tables, calls and fields against reference models, exact access
// sequences and messages included: fuzz/fuzz_reg_field.cpp and
// fuzz/fuzz_wide_field.cpp.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <tuple>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using Lines = std::vector<std::string>;
constexpr uint32_t kDev = 3;

// Device 7 resolves to chip id 3, device 5 to 320.
uint32_t resolve(uint32_t dev) { return dev == 5 ? HDK_MAX_CHIP_NUM : 3; }

// One instance at 0x100 on the simulated chip. Register 0 is an array of
// four bit-indexed nibbles from bit 28: element 1 is bits 0-3 of the next
// word. Register 3 has no element at all, register 4 is a whole one.
const hdk_reg_info kRegs[] = {HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED),
                              HDK_REG16_FIELD(0x30, 4, 3),
                              HDK_REG_INFO(0x60, 16, 20, 40, 1, 0, 0),  // bits 20-59 of 128
                              HDK_REG_INFO(0x70, 4, 0, 1, 0, 0, 0), HDK_REG32_WHOLE(0x20)};
const hdk_reg_inst kInst = {0x100, 0, 0, 5, kRegs};
const hdk_reg_module kModule = {0, 1, &kInst, 0, 0};

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    chip_sim_reset();
    ASSERT_EQ(hdk_register_reg(kDev, &table_), 0);
  }
  void TearDown() override {
    hdk_register_reg_chip_id(5, nullptr);
    hdk_register_reg_chip_id(7, nullptr);
    g_hdk_chip_reg[kDev] = nullptr;
  }
  hdk_chip_reg_table table_ = {0, 1, &kModule, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
};

// A table is filed under the chip id its device resolves to. A device
// number or chip id of 320 or more and a null table are refused, storing
// nothing; a later table replaces the earlier one. Without a table, look-up
// and check refuse silently.
TEST_F(Registry, ResolversAndRegistrationOrder) {
  hdk_register_reg_chip_id(7, &resolve);
  hdk_register_reg_chip_id(5, &resolve);
  hdk_register_reg_chip_id(HDK_MAX_DEV_NUM, &resolve);  // ignored
  EXPECT_EQ(hdk_get_reg_chip_id(HDK_MAX_DEV_NUM), HDK_MAX_DEV_NUM);
  const hdk_reg_module *module = nullptr;
  const hdk_reg_inst *inst = nullptr;
  const hdk_reg_info *reg = nullptr;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 7, 0, 2, 0, &module, &inst, &reg), 0);
  EXPECT_TRUE(module == &kModule && inst == &kInst && reg == &kRegs[2]);
  EXPECT_EQ(hdk_get_reg_info(7, 1, 2), nullptr);
  EXPECT_EQ(hdk_get_reg_info(7, 0, HDK_REG_ID(1, 2)), nullptr);
  hdk_chip_reg_table later = {0xDEAD, 5, nullptr, {0, 0, 0, 0, 0}, nullptr};  // no modules
  EXPECT_EQ(hdk_register_reg(HDK_MAX_DEV_NUM, &later), 1);
  EXPECT_EQ(hdk_register_reg(7, nullptr), -1);
  EXPECT_EQ(hdk_register_reg(5, &later), -1) << "chip id 320";
  EXPECT_EQ(later.chip_id, 0xDEADu);
  EXPECT_EQ(hdk_register_reg(7, &later), 0);
  EXPECT_EQ(later.chip_id, 3u);
  EXPECT_EQ(g_hdk_chip_reg[kDev], &later);
  chip_test::PrintCapture capture;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 7, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  hdk_register_reg_chip_id(7, nullptr);  // back to the identity: chip 7 has no table
  for (const uint32_t dev : {7u, 5u, HDK_MAX_DEV_NUM}) {
    EXPECT_EQ(hdk_get_reg_info(dev, 0, 0), nullptr);
    EXPECT_EQ(hdk_para_chk_and_get_module("f", dev, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  }
  EXPECT_EQ(capture.calls(), Lines{"\r\nf(7, 0, 0x0, 0) error code 0x2."});
}

uint32_t g_image[4] = {};

int32_t check(const char *name, uint32_t inst, uint32_t reg_id, uint32_t elem) {
  return hdk_para_chk_and_get_module(name, kDev, inst, reg_id, elem, nullptr, nullptr, nullptr);
}

// Each refusal prints one exact message, or none for a null pointer, and
// touches no register. The parameter check reports the first failing index
// (every later one is bad too); the field functions check the width before
// the pointer and the value before any access.
TEST_F(Registry, RefusalsAndTheirExactMessages) {
  const std::pair<int32_t (*)(), const char *> refusals[] = {
      {[] { return check("chk", 1, 0xFFC00009, 9); }, "\r\nchk(3, 1, 0xffc00009, 9) error code 0x2."},
      {[] { return check("chk", 1, 0x9, 9); }, "\r\nchk(3, 1, 0x9, 9) error code 0x4."},
      {[] { return check("chk", 0, 0x9, 9); }, "\r\nchk(3, 0, 0x9, 9) error code 0x8."},
      {[] { return check("chk", 0, 0x0, 4); }, "\r\nchk(3, 0, 0x0, 4) error code 0x10."},
      {[] { return check(nullptr, 0, 0x3, 0); }, "\r\n(null)(3, 0, 0x3, 0) error code 0x10."},
      {[] { return hdk_read_reg32_field(kDev, 0, 1, 0, nullptr); },
       "\r\nhdk_read_reg32_field(3, 0, 0x1, 0) error code 0xffffffff."},
      {[] { return hdk_read_reg16_field(kDev, 0, 0, 1, nullptr); },
       "\r\nhdk_read_reg16_field(3, 0, 0x0, 1) error code 0xffffffff."},
      {[] { return hdk_write_reg32_field(kDev, 0, 1, 0, 1); },
       "\r\nhdk-write-reg32-field(3, 0, 0x1, 0)fail"},
      {[] { return hdk_write_reg32_field(kDev, 0, 0, 3, 16); },
       "\r\nhdk-write-reg32-field(3, 0, 0x0, 3, 16) error code 0xffffffff."},
      {[] { return hdk_write_reg16_field(kDev, 0, 1, 0, 8); },
       "\r\nhdk_write_reg16_field(3, 0, 0x1, 0, 8) error code 0xffffffff."},
      {[] { return hdk_access_reg_field(kDev, 0, 9, 0, nullptr, nullptr, 0); },
       "\r\nhdk_access_reg_field(3, 0, 0x9, 0) error code 0x8."},
      {[] { return hdk_read_reg32_field(kDev, 0, 0, 0, nullptr); }, ""},
      {[] { return hdk_access_reg_field(kDev, 0, 2, 0, g_image, nullptr, 0); }, ""},
  };
  for (const auto &[call, message] : refusals) {
    chip_test::PrintCapture capture;
    EXPECT_EQ(call(), -1) << message;
    EXPECT_EQ(capture.calls(), *message != '\0' ? Lines{message} : Lines{});
  }
  EXPECT_EQ(chip_sim_log_count(), 0u);
}

// Images are most significant word first: bits 20-59 lie in words 3 and 2.
// Where the heap can be counted, no success path allocates.
TEST_F(Registry, SuccessPathsAllocateNothing) {
  uint32_t value = 0;
  uint32_t word = 0;
  uint16_t half = 0;
  std::array<uint32_t, 4> image = {0, 0, 0x0ABCDEF1, 0x23456789};
  std::array<uint32_t, 2> field = {};
  std::optional<chip_test::AllocCounter> counter;
  if (chip_test::AllocCounter::available()) counter.emplace();
  EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 1, 0, 5), 0);
  EXPECT_EQ(hdk_read_reg16_field(kDev, 0, 1, 0, &half), 0);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 1, 0xA), 0);
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 1, &value), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 1, &value, 0x5), 0);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 4, 0, 0xCAFEF00D), 0);
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 4, 0, &word), 0);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 2, 0, image.data(), field.data(), 0), 0);
  EXPECT_EQ(field, (std::array<uint32_t, 2>{0xAB, 0xCDEF1234}));
  field = {0x12, 0x3456789A};
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 2, 0, image.data(), field.data(), 1), 0);
  EXPECT_EQ(image, (std::array<uint32_t, 4>{0, 0, 0x01234567, 0x89A56789}));
  EXPECT_EQ(counter ? counter->allocations() : 0u, 0u);
  EXPECT_EQ(std::tuple(uint32_t{half}, value, word), std::tuple(5u, 5u, 0xCAFEF00Du));
}

}  // namespace
