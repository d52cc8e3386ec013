// Chip-id resolution, table registration and replacement, register look-up,
// the parameter check with its exact messages, and translation tables. The
// field functions' use of the check is covered by the fuzz models
// (fuzz/fuzz_reg_field.cpp, fuzz/fuzz_wide_field.cpp).
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/print_capture.hpp"

namespace {

// Two modules; module 0 has two instances of three registers, module 1 one
// instance of one register. Register 2 is an array of 4 elements and
// register 1 has elem_num 0, so it can never be accessed.
const hdk_reg_info kRegs[] = {HDK_REG32_FIELD(0x0, 4, 3), HDK_REG_INFO(0x4, 4, 0, 1, 0, 0, 0),
                              HDK_REG_INFO(0x8, 4, 0, 8, 4, 4, 0)};
const hdk_reg_inst kInsts[] = {{0x100, 0, 0, 3, kRegs}, {0x200, 0, 0, 3, kRegs}};
const hdk_reg_inst kPhyInsts[] = {{0x800, 0, 0, 1, kRegs}};
const hdk_reg_module kModules[] = {{0, 2, kInsts, 0, 0}, {0, 1, kPhyInsts, 0, 0}};

// Device 5 resolves to chip id 320, any other device to 3.
int g_resolver_calls = 0;
uint32_t resolve(uint32_t dev) {
  ++g_resolver_calls;
  return dev == 5 ? HDK_MAX_CHIP_NUM : 3;
}

class Registry : public ::testing::Test {
 protected:
  void TearDown() override {
    std::fill(std::begin(g_hdk_regm_chip_cfg), std::end(g_hdk_regm_chip_cfg), nullptr);
    std::fill(std::begin(g_hdk_chip_reg), std::end(g_hdk_chip_reg), nullptr);
  }
  hdk_chip_reg_table table_ = {0xDEAD, 2, kModules, {0, 0, 0, 0, 0}, nullptr};
};

TEST_F(Registry, ResolversAndRegistrationOrder) {
  g_resolver_calls = 0;
  hdk_register_reg_chip_id(7, &resolve);
  hdk_register_reg_chip_id(5, &resolve);
  hdk_register_reg_chip_id(HDK_MAX_DEV_NUM, &resolve);  // ignored
  EXPECT_EQ(hdk_get_reg_chip_id(7), 3u);
  EXPECT_EQ(hdk_get_reg_chip_id(8), 8u) << "other devices keep the identity";
  EXPECT_EQ(hdk_get_reg_chip_id(HDK_MAX_DEV_NUM), HDK_MAX_DEV_NUM);
  EXPECT_EQ(hdk_get_reg_chip_id(0xFFFFFFFF), 0xFFFFFFFFu);

  // Refusals of the device number and of a null table come before resolving.
  EXPECT_EQ(hdk_register_reg(HDK_MAX_DEV_NUM, &table_), 1);
  EXPECT_EQ(hdk_register_reg(7, nullptr), -1);
  EXPECT_EQ(g_resolver_calls, 1);
  EXPECT_EQ(hdk_register_reg(5, &table_), -1) << "chip id 320";
  EXPECT_EQ(table_.chip_id, 0xDEADu) << "a refusal stores nothing";

  hdk_chip_reg_table later = table_;
  EXPECT_EQ(hdk_register_reg(7, &table_), 0);
  EXPECT_EQ(table_.chip_id, 3u);
  EXPECT_EQ(g_hdk_chip_reg[7], nullptr);
  EXPECT_EQ(g_hdk_chip_reg[3], &table_);
  EXPECT_EQ(hdk_register_reg(3, &later), 0);
  EXPECT_EQ(g_hdk_chip_reg[3], &later) << "a later table replaces the earlier one";
  EXPECT_EQ(hdk_get_reg_info(7, 1, 2), &kRegs[2]);

  // Back to the identity: chip 7 has no table. Refused silently, as are a
  // chip id of 320 and a device number past the registry.
  hdk_register_reg_chip_id(7, nullptr);
  chip_test::PrintCapture capture;
  for (const uint32_t dev : {7u, 5u, HDK_MAX_DEV_NUM}) {
    EXPECT_EQ(hdk_get_reg_info(dev, 0, 0), nullptr);
    EXPECT_EQ(hdk_para_chk_and_get_module("f", dev, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  }
  EXPECT_TRUE(capture.calls().empty());
}

TEST_F(Registry, ParameterCheckReportsTheFirstFailingIndex) {
  ASSERT_EQ(hdk_register_reg(0, &table_), 0);
  const hdk_reg_module *module = nullptr;
  const hdk_reg_inst *inst = nullptr;
  const hdk_reg_info *reg = nullptr;
  // name, inst, reg_id, elem, message, and what hdk_get_reg_info finds (it
  // ignores the element). Every index after the reported one is bad too.
  const std::tuple<const char *, uint32_t, uint32_t, uint32_t, const char *, const hdk_reg_info *>
      refusals[] = {
      {"chk", 1, 0xFFC00001, 9, "\r\nchk(0, 1, 0xffc00001, 9) error code 0x2.", nullptr},
      {"chk", 1, 0x00400001, 9, "\r\nchk(0, 1, 0x400001, 9) error code 0x4.", nullptr},
      {"chk", 1, 0x3, 9, "\r\nchk(0, 1, 0x3, 9) error code 0x8.", nullptr},
      {"chk", 1, 0x2, 4, "\r\nchk(0, 1, 0x2, 4) error code 0x10.", &kRegs[2]},
      {nullptr, 0, 0x1, 0, "\r\n(null)(0, 0, 0x1, 0) error code 0x10.", &kRegs[1]},
  };
  for (const auto &[name, inst_index, reg_id, elem, message, found] : refusals) {
    chip_test::PrintCapture capture;
    EXPECT_EQ(hdk_para_chk_and_get_module(name, 0, inst_index, reg_id, elem, &module, &inst, &reg),
              -1);
    EXPECT_EQ(capture.calls(), std::vector<std::string>{message});
    EXPECT_EQ(hdk_get_reg_info(0, inst_index, reg_id), found) << message;
  }
  EXPECT_TRUE(module == nullptr && inst == nullptr && reg == nullptr) << "written on success only";
  EXPECT_EQ(hdk_para_chk_and_get_module("chk", 0, 1, 0x2, 3, &module, &inst, &reg), 0);
  EXPECT_TRUE(module == &kModules[0] && inst == &kInsts[1] && reg == &kRegs[2]);

  hdk_chip_reg_table empty = {0, 5, nullptr, {0, 0, 0, 0, 0}, nullptr};
  ASSERT_EQ(hdk_register_reg(1, &empty), 0);
  chip_test::PrintCapture capture;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 1, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(capture.text(), "\r\nf(1, 0, 0x0, 0) error code 0x2.") << "a null array is empty";
}

// Translation: the first matching pair within the count wins; a null table
// or a count of 0 finds nothing; a null result makes a membership test.
TEST(Translate, FirstMatchingPairWithinTheCountWins) {
  const hdk_trans_pair table[] = {{1, 10}, {2, 20}, {2, 30}, {3, 0}, {0xFFFFFFFFu, 2}};
  constexpr uint32_t kNone = 0xDEADBEEFu;  // the result when nothing is found
  // m1 to m0 (else m0 to m1), table, count, value, result
  const std::tuple<bool, const hdk_trans_pair *, uint32_t, uint32_t, uint32_t> cases[] = {
      {false, table, 5, 2, 20},        {true, table, 5, 30, 2},       {false, table, 5, 3, 0},
      {true, table, 5, 2, 0xFFFFFFFFu}, {false, table, 5, 0xFFFFFFFFu, 2},
      {true, table, 5, 40, kNone},     {false, table, 3, 3, kNone},   {false, table, 0, 1, kNone},
      {true, nullptr, 5, 10, kNone},
  };
  for (const auto &[m1_to_m0, pairs, count, value, expected] : cases) {
    const auto translate = m1_to_m0 ? hdk_struct_trans_m1tom0 : hdk_struct_trans_m0tom1;
    uint32_t result = kNone;
    const int32_t found = expected == kNone ? 1 : 0;
    EXPECT_EQ(translate(pairs, count, value, &result), found) << value;
    EXPECT_EQ(result, expected) << value;
    EXPECT_EQ(translate(pairs, count, value, nullptr), found) << value;
  }
}

}  // namespace
