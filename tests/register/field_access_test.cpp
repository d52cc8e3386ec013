// Field reads and writes of 32- and 16-bit registers on the simulated chip:
// the exact callback sequences, messages, check order and refusals.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "register/sim_chip.hpp"
#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::Access;
using chip_test::OneRecordChip;
using chip_test::PrintCapture;
using chip_test::read_of;
using chip_test::sim_log;
using chip_test::write_of;

constexpr uint32_t kDev = 3;
constexpr uint32_t kBase = 0x100;

template <typename Word>
struct Api;

template <>
struct Api<uint32_t> {
  static constexpr uint32_t kBits = 32;
  static constexpr uint32_t kBytes = 4;
  static constexpr uint32_t kOtherBytes = 2;
  static constexpr const char *kReadName = "hdk_read_reg32_field";
  static constexpr const char *kWriteName = "hdk-write-reg32-field";
  static int32_t read(uint32_t elem, uint32_t *value, uint32_t reg_id = 0, uint32_t inst = 0) {
    return hdk_read_reg32_field(kDev, inst, reg_id, elem, value);
  }
  static int32_t write(uint32_t elem, uint32_t value, uint32_t reg_id = 0, uint32_t inst = 0) {
    return hdk_write_reg32_field(kDev, inst, reg_id, elem, value);
  }
  // What a write of a record of the wrong width logs.
  static std::string write_width_message(uint32_t elem) {
    return "\r\nhdk-write-reg32-field(3, 0, 0x0, " + std::to_string(elem) + ")fail";
  }
};

template <>
struct Api<uint16_t> {
  static constexpr uint32_t kBits = 16;
  static constexpr uint32_t kBytes = 2;
  static constexpr uint32_t kOtherBytes = 4;
  static constexpr const char *kReadName = "hdk_read_reg16_field";
  static constexpr const char *kWriteName = "hdk_write_reg16_field";
  static int32_t read(uint32_t elem, uint16_t *value, uint32_t reg_id = 0, uint32_t inst = 0) {
    return hdk_read_reg16_field(kDev, inst, reg_id, elem, value);
  }
  static int32_t write(uint32_t elem, uint16_t value, uint32_t reg_id = 0, uint32_t inst = 0) {
    return hdk_write_reg16_field(kDev, inst, reg_id, elem, value);
  }
  static std::string write_width_message(uint32_t elem) {
    return "\r\nhdk_write_reg16_field(3, 0, 0x0, " + std::to_string(elem) +
           ") error code 0xffffffff.";
  }
};

std::string code_message(const char *name, uint32_t elem, uint32_t code = 0xFFFFFFFF,
                         uint32_t inst = 0, const char *reg_id = "0x0") {
  char text[160];
  snprintf(text, sizeof text, "\r\n%s(3, %u, %s, %u) error code 0x%x.", name, inst, reg_id, elem,
           code);
  return text;
}

std::string value_message(const char *name, uint32_t elem, uint32_t value) {
  char text[160];
  snprintf(text, sizeof text, "\r\n%s(3, 0, 0x0, %u, %u) error code 0xffffffff.", name, elem,
           value);
  return text;
}

template <typename Word>
class FieldAccess : public chip_test::SimChipTest {
 protected:
  using A = Api<Word>;
  static constexpr uint32_t W = A::kBits;

  // Registers a chip whose one record is `record`, at kBase.
  void use(const hdk_reg_info &record, const hdk_reg_ops *ops = &chip_sim_reg_ops) {
    chip_.emplace_back(std::make_unique<OneRecordChip>(kBase, record, ops));
    ASSERT_EQ(hdk_register_reg(kDev, &chip_.back()->table), 0);
  }
  // A field record of this width: start_bit 4, field_bits 3 at offset 0x10.
  static hdk_reg_info field_4_3(uint32_t flags = 0) {
    return HDK_REG_INFO(0x10, A::kBytes, 4, 3, 4, 4, flags);
  }

  std::vector<std::unique_ptr<OneRecordChip>> chip_;
};

using Widths = ::testing::Types<uint32_t, uint16_t>;
TYPED_TEST_SUITE(FieldAccess, Widths);

TYPED_TEST(FieldAccess, ReadModifyWriteOfAThreeBitField) {
  using A = typename TestFixture::A;
  constexpr uint32_t W = TestFixture::W;
  this->use(TestFixture::field_4_3());
  chip_sim_poke(kDev, 0x110, 0xF5);
  TypeParam value = 0;
  EXPECT_EQ(A::read(0, &value), 0);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(A::write(0, 2), 0);
  EXPECT_EQ(sim_log(), (std::vector<Access>{read_of(W, 0x110, 0xF5), read_of(W, 0x110, 0xF5),
                                            write_of(W, 0x110, 0xA5)}));
  EXPECT_EQ(A::write(0, 7), 0);
  EXPECT_EQ(chip_sim_peek(kDev, 0x110), 0xF5u);

  chip_sim_log_clear();
  PrintCapture capture;
  EXPECT_EQ(A::write(1, 8), -1);
  EXPECT_TRUE(sim_log().empty()) << "the range test comes before any access";
  ASSERT_EQ(capture.calls().size(), 1u);
  EXPECT_EQ(capture.calls()[0], value_message(A::kWriteName, 1, 8));
  EXPECT_EQ(capture.formats()[0], "%s");
}

TYPED_TEST(FieldAccess, AccessTypesSevenAndEightWriteWithoutReading) {
  using A = typename TestFixture::A;
  for (uint32_t type : {7u, 8u}) {
    chip_sim_reset();
    this->use(TestFixture::field_4_3(HDK_REG_ACCESS_TYPE(type)));
    chip_sim_poke(kDev, 0x110, 0xF5);
    EXPECT_EQ(A::write(0, 2), 0);
    EXPECT_EQ(sim_log(), (std::vector<Access>{write_of(TestFixture::W, 0x110, 0x20)}));
  }
  chip_sim_reset();
  this->use(TestFixture::field_4_3(HDK_REG_ACCESS_TYPE(9)));
  EXPECT_EQ(A::write(0, 2), 0);
  EXPECT_EQ(sim_log().size(), 2u) << "other access types read first";
}

TYPED_TEST(FieldAccess, WholeRegisterPassesValuesAndPointersUnchanged) {
  using A = typename TestFixture::A;
  constexpr uint32_t W = TestFixture::W;
  const TypeParam all_ones = static_cast<TypeParam>(~0u);
  const hdk_reg_info records[] = {
      HDK_REG_INFO(0x10, A::kBytes, 3, 5, 4, -8, HDK_REG_WHOLE | HDK_REG_BIT_INDEXED),
      HDK_REG_INFO(0x10, A::kBytes, 0, W, 4, -8, HDK_REG_BIT_INDEXED | HDK_REG_WRITE_ONLY),
  };
  for (const hdk_reg_info &record : records) {
    chip_sim_reset();
    this->use(record);
    EXPECT_EQ(A::write(3, all_ones), 0);
    EXPECT_EQ(chip_sim_peek(kDev, 0x110 - 24), all_ones) << "stride steps the address";
    TypeParam value = 0;
    EXPECT_EQ(A::read(3, &value), 0);
    EXPECT_EQ(value, all_ones);
    // A failing read stores nothing through the caller's own pointer.
    chip_sim_fail_next(1, 6);
    value = 0x1234;
    EXPECT_EQ(A::read(3, &value), 6);
    EXPECT_EQ(value, 0x1234u);
    EXPECT_EQ(sim_log(), (std::vector<Access>{write_of(W, 0x110 - 24, all_ones),
                                              read_of(W, 0x110 - 24, all_ones),
                                              read_of(W, 0x110 - 24, 0, 6)}));
  }
}

TYPED_TEST(FieldAccess, AccessStatusesArePassedOnAndStopNothing) {
  using A = typename TestFixture::A;
  constexpr uint32_t W = TestFixture::W;
  this->use(TestFixture::field_4_3());
  chip_sim_poke(kDev, 0x110, 0xF5);
  chip_sim_fail_next(1, 5);
  TypeParam value = 0x55;
  EXPECT_EQ(A::read(0, &value), 5);
  EXPECT_EQ(value, 0u) << "the field of the untouched local word is stored";

  chip_sim_log_clear();
  const int32_t statuses[] = {1, 2};
  chip_sim_queue_statuses(statuses, 2);
  EXPECT_EQ(A::write(0, 2), 3);
  EXPECT_EQ(sim_log(), (std::vector<Access>{read_of(W, 0x110, 0, 1), write_of(W, 0x110, 0x20, 2)}));
}

TYPED_TEST(FieldAccess, WidthIsCheckedBeforeTheNullPointerAndAnyAccess) {
  using A = typename TestFixture::A;
  this->use(HDK_REG_INFO(0x10, A::kOtherBytes, 4, 3, 4, 4, 0));
  PrintCapture capture;
  EXPECT_EQ(A::read(2, nullptr), -1);
  EXPECT_EQ(A::write(2, 1), -1);
  EXPECT_EQ(capture.calls(), (std::vector<std::string>{code_message(A::kReadName, 2),
                                                       A::write_width_message(2)}));
  capture.clear();
  this->use(TestFixture::field_4_3());
  EXPECT_EQ(A::read(0, nullptr), -1);
  EXPECT_TRUE(capture.calls().empty()) << "a null pointer is refused silently";
  EXPECT_TRUE(sim_log().empty());
}

TYPED_TEST(FieldAccess, ParameterCheckCarriesTheFunctionName) {
  using A = typename TestFixture::A;
  this->use(TestFixture::field_4_3());
  PrintCapture capture;
  TypeParam value = 0;
  EXPECT_EQ(A::read(0, &value, HDK_REG_ID(1, 0)), -1);
  EXPECT_EQ(A::write(4, 0, 0), -1);
  EXPECT_EQ(A::write(0, 0, 0, 1), -1);
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{code_message(A::kReadName, 0, 0x2, 0, "0x400000"),
                                      code_message(A::kWriteName, 4, 0x10),
                                      code_message(A::kWriteName, 0, 0x4, 1)}));
  EXPECT_TRUE(sim_log().empty());
}

// Records that do not fit one register, and missing access functions: -1
// with the error-code message, and no access at all.
TYPED_TEST(FieldAccess, InconsistentRecordsAreRefusedBeforeAnyAccess) {
  using A = typename TestFixture::A;
  constexpr uint32_t W = TestFixture::W;
  struct Case {
    hdk_reg_info record;
    uint32_t elem;
  };
  const Case cases[] = {
      {HDK_REG_INFO(0x10, A::kBytes, 0, W + 1, 1, 0, 0), 0},        // wider than the register
      {HDK_REG_INFO(0x10, A::kBytes, W, 1, 2, 4, 0), 1},            // start bit at the width
      {HDK_REG_INFO(0x10, A::kBytes, W + 4, 1, 1, 0, HDK_REG_BIT_INDEXED), 0},
      {HDK_REG_INFO(0x10, A::kBytes, W - 4, 8, 2, 0, HDK_REG_BIT_INDEXED), 1},  // past the top
      {HDK_REG_INFO(0x10, A::kBytes, 4, 4, 4, -4, HDK_REG_BIT_INDEXED), 2},     // below bit 0
      {HDK_REG_INFO(0x10, A::kBytes, 0, 1, 2, -1, HDK_REG_BIT_INDEXED), 1},
  };
  for (const Case &c : cases) {
    chip_sim_reset();
    this->use(c.record);
    PrintCapture capture;
    TypeParam value = 0x77;
    EXPECT_EQ(A::read(c.elem, &value), -1);
    EXPECT_EQ(A::write(c.elem, 0), -1);
    EXPECT_EQ(value, 0x77u);
    EXPECT_TRUE(sim_log().empty());
    EXPECT_EQ(capture.calls(), (std::vector<std::string>{code_message(A::kReadName, c.elem),
                                                         code_message(A::kWriteName, c.elem)}));
  }
  // Stepping back within the register is fine.
  chip_sim_reset();
  this->use(HDK_REG_INFO(0x10, A::kBytes, 8, 4, 4, -4, HDK_REG_BIT_INDEXED | HDK_REG_WRITE_ONLY));
  EXPECT_EQ(A::write(2, 0xF), 0);
  EXPECT_EQ(sim_log(), (std::vector<Access>{write_of(W, 0x110, 0xF)}));
}

TYPED_TEST(FieldAccess, MissingAccessFunctionsAreRefusedNotCalled) {
  using A = typename TestFixture::A;
  constexpr uint32_t W = TestFixture::W;
  const hdk_reg_ops write_only = {nullptr, chip_sim_reg_ops.write16, nullptr,
                                  chip_sim_reg_ops.write32};
  const hdk_reg_ops none = {nullptr, nullptr, nullptr, nullptr};
  TypeParam value = 0;
  PrintCapture capture;

  this->use(TestFixture::field_4_3(), nullptr);  // no ops_table at all
  EXPECT_EQ(A::read(0, &value), -1);
  EXPECT_EQ(A::write(0, 1), -1);
  this->use(TestFixture::field_4_3(), &none);
  EXPECT_EQ(A::write(0, 1), -1);
  this->use(TestFixture::field_4_3(), &write_only);
  EXPECT_EQ(A::read(0, &value), -1);
  EXPECT_EQ(A::write(0, 1), -1) << "a read-modify-write needs the read function";
  EXPECT_EQ(capture.calls().size(), 5u);
  EXPECT_EQ(capture.calls()[4], code_message(A::kWriteName, 0));
  EXPECT_TRUE(sim_log().empty());

  this->use(TestFixture::field_4_3(HDK_REG_WRITE_ONLY), &write_only);
  EXPECT_EQ(A::write(0, 1), 0);
  EXPECT_EQ(sim_log(), (std::vector<Access>{write_of(W, 0x110, 0x10)}));
}

// Element locations, seen as the address and bit of a write-only field.
struct LocationCase {
  uint32_t width;
  uint32_t base;
  hdk_reg_info record;
  uint32_t elem;
  uint32_t addr;
  uint32_t start_bit;
};

class ElementLocation : public chip_test::SimChipTest,
                        public ::testing::WithParamInterface<LocationCase> {};

TEST_P(ElementLocation, WritesLandAtTheExpectedAddressAndBit) {
  const LocationCase c = GetParam();
  OneRecordChip chip(c.base, c.record);
  ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
  const int32_t result = c.width == 32 ? hdk_write_reg32_field(kDev, 0, 0, c.elem, 1)
                                       : hdk_write_reg16_field(kDev, 0, 0, c.elem, 1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(sim_log(), (std::vector<Access>{write_of(c.width, c.addr, 1u << c.start_bit)}));
}

constexpr uint32_t kBitIdx = HDK_REG_BIT_INDEXED | HDK_REG_WRITE_ONLY;
INSTANTIATE_TEST_SUITE_P(
    Cases, ElementLocation,
    ::testing::Values(
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 28, 4, 10, 4, kBitIdx), 0, 0x110, 28},
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 28, 4, 10, 4, kBitIdx), 1, 0x114, 0},
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 28, 4, 10, 4, kBitIdx), 2, 0x114, 4},
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 28, 4, 10, 4, kBitIdx), 9, 0x118, 0},
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 4, 3, 4, 4, HDK_REG_WRITE_ONLY), 3, 0x11C, 4},
        LocationCase{32, 0x100, HDK_REG_INFO(0x10, 4, 4, 3, 4, -4, HDK_REG_WRITE_ONLY), 3, 0x104,
                     4},
        LocationCase{32, 0x4, HDK_REG_INFO(0, 4, 0, 1, 4, -4, HDK_REG_WRITE_ONLY), 3, 0xFFFFFFF8,
                     0},
        LocationCase{16, 0x100, HDK_REG_INFO(0x10, 2, 12, 4, 6, 4, kBitIdx), 1, 0x112, 0},
        LocationCase{16, 0x100, HDK_REG_INFO(0x10, 2, 12, 4, 6, 4, kBitIdx), 2, 0x112, 4},
        LocationCase{16, 0x100, HDK_REG_INFO(0x10, 2, 12, 4, 6, 4, kBitIdx), 5, 0x114, 0},
        LocationCase{16, 0x10004, HDK_REG_INFO(8, 2, 0, 1, 1, 0, HDK_REG_WRITE_ONLY), 0, 12, 0},
        LocationCase{16, 0x2, HDK_REG_INFO(8, 2, 0, 1, 4, -2, HDK_REG_WRITE_ONLY), 3, 4, 0},
        LocationCase{16, 0x0, HDK_REG_INFO(2, 2, 0, 1, 4, -2, HDK_REG_WRITE_ONLY), 3, 0xFFFC, 0},
        LocationCase{16, 0x0, HDK_REG_INFO(0xFFFE, 2, 8, 8, 2, 16, kBitIdx), 1, 0x0, 8}));

class SetField : public chip_test::SimChipTest {};

TEST_F(SetField, MergesIntoTheCallersWord) {
  OneRecordChip chip(kBase, HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED));
  ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
  uint32_t word = 0xFFFFFFFF;
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, &word, 0x5), 0);
  EXPECT_EQ(word, 0x5FFFFFFFu);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 1, &word, 0x0), 0);
  EXPECT_EQ(word, 0x5FFFFFF0u) << "element 1 lands at bit 0 of the caller's word";
  PrintCapture capture;
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 2, &word, 0x10), -1);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 2, nullptr, 0x1), -1);
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{value_message("hdk_set_reg_field32", 2, 0x10)}));
  EXPECT_EQ(word, 0x5FFFFFF0u);
  EXPECT_TRUE(sim_log().empty()) << "no access function is ever called";
}

TEST_F(SetField, NegativeBitStrideWrapsInsideTheCallersWord) {
  // start 4, stride -8: element 1 sits at (4 - 8) mod 32 = bit 28 of the same word.
  OneRecordChip chip(kBase, HDK_REG_INFO(0x10, 4, 4, 4, 4, -8, HDK_REG_BIT_INDEXED));
  ASSERT_EQ(hdk_register_reg(kDev, &chip.table), 0);
  uint32_t word = 0;
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 1, &word, 0x9), 0);
  EXPECT_EQ(word, 0x90000000u);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 3, &word, 0xA), 0);
  EXPECT_EQ(word, 0x9000A000u) << "(4 - 24) mod 32 = bit 12";
  EXPECT_TRUE(sim_log().empty());
}

TEST_F(SetField, WholeWordsAndRefusals) {
  OneRecordChip full(kBase, HDK_REG_INFO(0, 4, 0, 32, 1, 0, 0));
  OneRecordChip whole(kBase, HDK_REG32_WHOLE(0));
  OneRecordChip narrow(kBase, HDK_REG16_FIELD(0, 0, 4));
  OneRecordChip too_wide(kBase, HDK_REG_INFO(0, 4, 30, 4, 1, 0, 0));
  uint32_t word = 0x12345678;
  ASSERT_EQ(hdk_register_reg(kDev, &full.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, &word, 0xCAFEF00D), 0);
  EXPECT_EQ(word, 0xCAFEF00Du);

  PrintCapture capture;
  ASSERT_EQ(hdk_register_reg(kDev, &whole.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, &word, 1), -1);
  EXPECT_TRUE(capture.calls().empty());
  ASSERT_EQ(hdk_register_reg(kDev, &narrow.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, nullptr, 1), -1);
  ASSERT_EQ(hdk_register_reg(kDev, &too_wide.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, &word, 1), -1);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 1, &word, 1), -1);
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{code_message("hdk_set_reg_field32", 0),
                                      code_message("hdk_set_reg_field32", 0),
                                      code_message("hdk_set_reg_field32", 1, 0x10)}));
  EXPECT_EQ(word, 0xCAFEF00Du);
}

// The chip id is resolved once per access, and the access
// functions receive the device number, not the chip id.
uint32_t g_resolutions = 0;
uint32_t to_chip_9(uint32_t) {
  ++g_resolutions;
  return 9;
}

TEST_F(SetField, AccessFunctionsGetTheDeviceNumberOfAResolvedChip) {
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

TEST_F(SetField, NoSuccessPathAllocates) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  OneRecordChip chip32(kBase, HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED));
  OneRecordChip whole32(kBase, HDK_REG32_WHOLE(0x20));
  OneRecordChip chip16(kBase, HDK_REG16_FIELD(0x30, 4, 3));
  OneRecordChip whole16(kBase, HDK_REG16_WHOLE(0x40));
  uint32_t value32 = 0;
  uint16_t value16 = 0;
  chip_test::AllocCounter counter;
  for (OneRecordChip *chip : {&chip32, &whole32}) {
    ASSERT_EQ(hdk_register_reg(kDev, &chip->table), 0);
    EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 0, 3), 0);
    EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 0, &value32), 0);
  }
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 0, &value32, 1), -1);  // whole_reg: silent
  ASSERT_EQ(hdk_register_reg(kDev, &chip32.table), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 2, &value32, 1), 0);
  for (OneRecordChip *chip : {&chip16, &whole16}) {
    ASSERT_EQ(hdk_register_reg(kDev, &chip->table), 0);
    EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 0, 0, 5), 0);
    EXPECT_EQ(hdk_read_reg16_field(kDev, 0, 0, 0, &value16), 0);
  }
  EXPECT_EQ(counter.allocations(), 0u);
  EXPECT_EQ(value16, 5u);
}

}  // namespace
