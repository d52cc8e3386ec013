// Field reads and writes of 32- and 16-bit registers on the simulated chip
// beyond what the random model covers: the null pointer, the in-memory merge of
// hdk_set_reg_field32, the device number the access functions get, and that no success path
// allocates.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "register/sim_chip.hpp"
#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::field_function;
using chip_test::field_message;
using chip_test::kDev;
using chip_test::OneRecordChip;
using chip_test::PrintCapture;
using chip_test::read_field;
using chip_test::sim_log;
using chip_test::write_field;

constexpr uint32_t kBase = 0x100;

class FieldAccess : public chip_test::SimChipTest,
                    public ::testing::WithParamInterface<uint32_t> {};

TEST_P(FieldAccess, WidthIsCheckedBeforeTheNullPointerAndAnyAccess) {
  const uint32_t w = GetParam();
  OneRecordChip other_width(kBase, HDK_REG_INFO(0x10, 6 - w / 8, 4, 3, 4, 4, 0));
  ASSERT_EQ(hdk_register_reg(kDev, &other_width.table), 0);
  PrintCapture capture;
  EXPECT_EQ(read_field(w, 2, nullptr), -1);
  EXPECT_EQ(capture.calls(), std::vector<std::string>{field_message(field_function(w, false), 2)});
  capture.clear();
  OneRecordChip chip(kBase, HDK_REG_INFO(0x10, w / 8, 4, 3, 4, 4, 0));
  ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
  EXPECT_EQ(read_field(w, 0, nullptr), -1);
  EXPECT_TRUE(capture.calls().empty()) << "a null pointer is refused silently";
  EXPECT_TRUE(sim_log().empty());
}

INSTANTIATE_TEST_SUITE_P(Widths, FieldAccess, ::testing::Values(32u, 16u));

// hdk_set_reg_field32 merges into the caller's word: a bit-indexed position
// wraps modulo 32 inside that word, and no access function is ever called.
struct SetCase {
  hdk_reg_info record;
  uint32_t elem;
  uint32_t word;
  uint32_t value;
  int32_t result;
  uint32_t word_after;
  std::optional<uint32_t> code;  // the refusal message's code, if there is one
  bool with_value;               // the message names the refused value
};

class SetField : public chip_test::SimChipTest {};

TEST_F(SetField, MergesIntoTheCallersWord) {
  constexpr uint32_t kFailed = 0xFFFFFFFF;
  const hdk_reg_info nibbles = HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED);
  const hdk_reg_info backwards = HDK_REG_INFO(0x10, 4, 4, 4, 4, -8, HDK_REG_BIT_INDEXED);
  const hdk_reg_info too_wide = HDK_REG_INFO(0, 4, 30, 4, 1, 0, 0);
  const SetCase cases[] = {
      {nibbles, 0, 0xFFFFFFFF, 0x5, 0, 0x5FFFFFFF, std::nullopt, false},
      {nibbles, 1, 0x5FFFFFFF, 0x0, 0, 0x5FFFFFF0, std::nullopt, false},  // (28 + 4) mod 32
      {nibbles, 2, 0x5FFFFFF0, 0x10, -1, 0x5FFFFFF0, kFailed, true},
      {backwards, 1, 0, 0x9, 0, 0x90000000, std::nullopt, false},           // (4 - 8) mod 32
      {backwards, 3, 0x90000000, 0xA, 0, 0x9000A000, std::nullopt, false},  // (4 - 24) mod 32
      {HDK_REG_INFO(0, 4, 0, 32, 1, 0, 0), 0, 0x12345678, 0xCAFEF00D, 0, 0xCAFEF00D, std::nullopt,
       false},
      {HDK_REG32_WHOLE(0), 0, 0x12345678, 1, -1, 0x12345678, std::nullopt, false},
      {HDK_REG16_FIELD(0, 0, 4), 0, 0x12345678, 1, -1, 0x12345678, kFailed, false},
      {too_wide, 0, 0x12345678, 1, -1, 0x12345678, kFailed, false},
      {too_wide, 1, 0x12345678, 1, -1, 0x12345678, 0x10, false},
  };
  for (const SetCase &c : cases) {
    SCOPED_TRACE(::testing::Message() << "elem " << c.elem << " value " << c.value);
    clear();
    OneRecordChip chip(kBase, c.record);
    ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
    PrintCapture capture;
    uint32_t word = c.word;
    EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, c.elem, &word, c.value), c.result);
    EXPECT_EQ(word, c.word_after);
    std::vector<std::string> messages;
    if (c.code) {
      messages.push_back(field_message("hdk_set_reg_field32", c.elem,
                                       c.with_value ? std::optional(c.value) : std::nullopt,
                                       *c.code));
    }
    if (c.result == 0) {
      EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, c.elem, nullptr, c.value), -1);
    }
    EXPECT_EQ(capture.calls(), messages) << "a null word is refused silently";
    EXPECT_TRUE(sim_log().empty());
  }
  // The width is checked before the null word.
  PrintCapture capture;
  OneRecordChip narrow(kBase, HDK_REG16_FIELD(0, 0, 4));
  ASSERT_EQ(hdk_register_reg(kDev, &narrow.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, nullptr, 1), -1);
  EXPECT_EQ(capture.calls(), std::vector<std::string>{field_message("hdk_set_reg_field32", 0)});
  clear();
}

// The chip id is resolved once per access, and the access functions receive
// the device number, not the chip id.
uint32_t g_resolutions = 0;
uint32_t to_chip_9(uint32_t) {
  ++g_resolutions;
  return 9;
}

class ResolvedChip : public chip_test::SimChipTest {};

TEST_F(ResolvedChip, AccessFunctionsGetTheDeviceNumber) {
  OneRecordChip chip(kBase, HDK_REG32_FIELD(0x10, 4, 3));
  hdk_register_reg_chip_id(kDev, &to_chip_9);
  ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
  g_resolutions = 0;
  chip_sim_poke(kDev, 0x110, 0xF5);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 0, 2), 0);
  EXPECT_EQ(g_resolutions, 1u) << "one resolution per access";
  ASSERT_EQ(chip_sim_log_count(), 2u);
  EXPECT_EQ(chip_sim_log()[0].dev, kDev);
  EXPECT_EQ(chip_sim_log()[1].dev, kDev);
  EXPECT_EQ(chip_sim_peek(kDev, 0x110), 0xA5u);
}

TEST_F(ResolvedChip, NoSuccessPathAllocates) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  OneRecordChip field32(kBase, HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED));
  OneRecordChip whole32(kBase, HDK_REG32_WHOLE(0x20));
  OneRecordChip field16(kBase, HDK_REG16_FIELD(0x30, 4, 3));
  OneRecordChip whole16(kBase, HDK_REG16_WHOLE(0x40));
  const std::pair<OneRecordChip *, uint32_t> chips[] = {
      {&field32, 32}, {&whole32, 32}, {&field16, 16}, {&whole16, 16}};
  uint32_t value = 0;
  chip_test::AllocCounter counter;
  for (const auto &[chip, w] : chips) {
    ASSERT_EQ(hdk_register_reg(kDev, &chip->table), 0);
    EXPECT_EQ(write_field(w, 0, 5), 0);
    EXPECT_EQ(read_field(w, 0, &value), 0);
    EXPECT_EQ(value, 5u);
  }
  ASSERT_EQ(hdk_register_reg(kDev, &field32.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 2, &value, 1), 0);
  EXPECT_EQ(counter.allocations(), 0u);
}

}  // namespace
