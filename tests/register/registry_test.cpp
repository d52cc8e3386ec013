// Chip-id resolution, table registration, register look-up and the
// parameter check with its exact messages.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "register/sim_chip.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::PrintCapture;

// Two modules; module 0 has two instances of three registers, module 1 one
// instance of one register. Register 2 is an array of 4 elements and
// register 1 has elem_num 0, so it can never be accessed.
const hdk_reg_info kRegs[] = {
    HDK_REG32_FIELD(0x0, 4, 3),
    HDK_REG_INFO(0x4, 4, 0, 1, 0, 0, 0),
    HDK_REG_INFO(0x8, 4, 0, 8, 4, 4, 0),
};
const hdk_reg_inst kInsts[] = {{0x100, 0, 0, 3, kRegs}, {0x200, 0, 0, 3, kRegs}};
const hdk_reg_inst kPhyInsts[] = {{0x800, 0, 0, 1, kRegs}};
const hdk_reg_module kModules[] = {{0, 2, kInsts, 0, 0}, {0, 1, kPhyInsts, 0, 0}};

hdk_chip_reg_table make_table() { return {0xDEAD, 2, kModules, {0, 0, 0, 0, 0}, nullptr}; }

int g_resolver_calls = 0;
uint32_t to_three(uint32_t) {
  ++g_resolver_calls;
  return 3;
}
uint32_t to_out_of_range(uint32_t) {
  ++g_resolver_calls;
  return 320;
}

class Registry : public chip_test::SimChipTest {
 protected:
  void SetUp() override {
    SimChipTest::SetUp();
    g_resolver_calls = 0;
  }
};

TEST_F(Registry, ResolutionFollowsTheResolverSlotWithinTheRegistry) {
  EXPECT_EQ(hdk_get_reg_chip_id(7), 7u);
  hdk_register_reg_chip_id(7, &to_three);
  EXPECT_EQ(hdk_get_reg_chip_id(7), 3u);
  EXPECT_EQ(hdk_get_reg_chip_id(8), 8u) << "other devices keep the identity";
  hdk_register_reg_chip_id(7, nullptr);
  EXPECT_EQ(hdk_get_reg_chip_id(7), 7u);
  g_resolver_calls = 0;
  hdk_register_reg_chip_id(320, &to_three);
  hdk_register_reg_chip_id(0xFFFFFFFF, &to_three);
  EXPECT_EQ(hdk_get_reg_chip_id(320), 320u);
  EXPECT_EQ(hdk_get_reg_chip_id(0xFFFFFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(g_resolver_calls, 0);
  EXPECT_EQ(hdk_get_reg_info(320, 0, 0), nullptr);
  PrintCapture capture;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 320, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_TRUE(capture.calls().empty());
}

TEST_F(Registry, RegistrationResults) {
  hdk_chip_reg_table table = make_table();
  hdk_register_reg_chip_id(5, &to_three);
  EXPECT_EQ(hdk_register_reg(319, &table), 0);
  EXPECT_EQ(g_hdk_chip_reg[319], &table);
  EXPECT_EQ(table.chip_id, 319u);
  hdk_chip_reg_table other = make_table();
  EXPECT_EQ(hdk_register_reg(320, &other), 1);
  EXPECT_EQ(hdk_register_reg(5, nullptr), -1);
  EXPECT_EQ(g_resolver_calls, 0) << "refusals are decided before resolving";
  EXPECT_EQ(other.chip_id, 0xDEADu);
  EXPECT_EQ(g_hdk_chip_reg[3], nullptr);
}

TEST_F(Registry, TableIsFiledUnderTheResolvedChipId) {
  hdk_chip_reg_table table = make_table();
  hdk_register_reg_chip_id(7, &to_three);
  EXPECT_EQ(hdk_register_reg(7, &table), 0);
  EXPECT_EQ(table.chip_id, 3u);
  EXPECT_EQ(g_hdk_chip_reg[3], &table);
  EXPECT_EQ(g_hdk_chip_reg[7], nullptr);

  hdk_chip_reg_table replacement = make_table();
  EXPECT_EQ(hdk_register_reg(3, &replacement), 0);
  EXPECT_EQ(g_hdk_chip_reg[3], &replacement) << "a later table replaces the earlier one";
  EXPECT_EQ(hdk_get_reg_info(7, 0, 0), &kRegs[0]);
}

TEST_F(Registry, ResolverChangedAfterRegistrationRedirectsAccesses) {
  hdk_chip_reg_table table = make_table();
  EXPECT_EQ(hdk_register_reg(7, &table), 0);
  hdk_register_reg_chip_id(7, &to_three);
  PrintCapture capture;
  EXPECT_EQ(hdk_get_reg_info(7, 0, 0), nullptr) << "chip 3 has no table";
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 7, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_TRUE(capture.calls().empty()) << "no table is refused silently";
  EXPECT_EQ(table.chip_id, 7u);
}

TEST_F(Registry, ResolvedChipIdOutOfRangeIsRefusedEverywhere) {
  hdk_chip_reg_table table = make_table();
  hdk_register_reg_chip_id(4, &to_out_of_range);
  EXPECT_EQ(hdk_register_reg(4, &table), -1);
  EXPECT_EQ(table.chip_id, 0xDEADu);
  PrintCapture capture;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 4, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(hdk_get_reg_info(4, 0, 0), nullptr);
  EXPECT_TRUE(capture.calls().empty());
}

struct CheckCase {
  uint32_t inst;
  uint32_t reg_id;
  uint32_t elem;
  const char *message;  // null: accepted
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding and pointer included).
void PrintTo(const CheckCase &c, std::ostream *out) {
  *out << "inst " << c.inst << " reg_id 0x" << std::hex << c.reg_id << std::dec << " elem "
       << c.elem << (c.message != nullptr ? " refused" : " accepted");
}

class ParameterCheck : public Registry, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ParameterCheck, FirstFailingTestDecidesTheCode) {
  const CheckCase c = GetParam();
  hdk_chip_reg_table table = make_table();
  ASSERT_EQ(hdk_register_reg(0, &table), 0);
  PrintCapture capture;
  const hdk_reg_module *module = nullptr;
  const hdk_reg_inst *inst = nullptr;
  const hdk_reg_info *reg = nullptr;
  const int32_t result = hdk_para_chk_and_get_module("hdk_access_reg_field", 0, c.inst, c.reg_id,
                                                     c.elem, &module, &inst, &reg);
  if (c.message == nullptr) {
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(capture.calls().empty());
    const uint32_t m = HDK_REG_ID_MODULE(c.reg_id);
    EXPECT_EQ(module, &kModules[m]);
    EXPECT_EQ(inst, &kModules[m].insts[c.inst]);
    EXPECT_EQ(reg, &kRegs[HDK_REG_ID_INDEX(c.reg_id)]);
    EXPECT_EQ(hdk_get_reg_info(0, c.inst, c.reg_id), reg);
  } else {
    EXPECT_EQ(result, -1);
    // The look-up ignores the element and prints nothing.
    const bool elem_only = std::string(c.message).ends_with("0x10.");
    EXPECT_EQ(hdk_get_reg_info(0, c.inst, c.reg_id),
              elem_only ? &kRegs[HDK_REG_ID_INDEX(c.reg_id)] : nullptr);
    ASSERT_EQ(capture.calls().size(), 1u);
    EXPECT_EQ(capture.calls()[0], std::string("\r\n") + c.message);
    EXPECT_EQ(module, nullptr) << "out-parameters stay untouched";
    EXPECT_EQ(inst, nullptr);
    EXPECT_EQ(reg, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ParameterCheck,
    ::testing::Values(
        CheckCase{1, 0x00800000, 0, "hdk_access_reg_field(0, 1, 0x800000, 0) error code 0x2."},
        CheckCase{0, 0xFFC00000, 9, "hdk_access_reg_field(0, 0, 0xffc00000, 9) error code 0x2."},
        CheckCase{0, 0x00400000, 0, nullptr},
        CheckCase{1, 0x00400000, 0, "hdk_access_reg_field(0, 1, 0x400000, 0) error code 0x4."},
        CheckCase{2, 0x0, 7, "hdk_access_reg_field(0, 2, 0x0, 7) error code 0x4."},
        CheckCase{1, 0x3, 0, "hdk_access_reg_field(0, 1, 0x3, 0) error code 0x8."},
        CheckCase{0, 0x00400001, 0, "hdk_access_reg_field(0, 0, 0x400001, 0) error code 0x8."},
        CheckCase{0, 0x2, 4, "hdk_access_reg_field(0, 0, 0x2, 4) error code 0x10."},
        CheckCase{1, 0x2, 3, nullptr},
        CheckCase{0, 0x1, 0, "hdk_access_reg_field(0, 0, 0x1, 0) error code 0x10."},
        CheckCase{0, 0x0, 0, nullptr}));

TEST_F(Registry, NullRecordArraysCountAsEmpty) {
  hdk_chip_reg_table table = {0, 5, nullptr, {0, 0, 0, 0, 0}, nullptr};
  ASSERT_EQ(hdk_register_reg(1, &table), 0);
  PrintCapture capture;
  EXPECT_EQ(hdk_para_chk_and_get_module("f", 1, 0, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(capture.text(), "\r\nf(1, 0, 0x0, 0) error code 0x2.");
  EXPECT_EQ(hdk_get_reg_info(1, 0, 0), nullptr);
}

}  // namespace
