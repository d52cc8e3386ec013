// hdk_access_reg_field: the parameter check first, then the buffer checks,
// whole-register copies, element positions and the records it refuses.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "support/print_capture.hpp"

namespace {

using chip_test::PrintCapture;

constexpr uint32_t kDev = 11;
constexpr uint32_t kRead = 0;
constexpr uint32_t kWrite = 3;  // any non-zero direction writes

enum Reg : uint32_t {
  kByteAt4,          // 8 bits at bit 4 of a 32-bit register
  kTwelveAt40,       // 12 bits at bit 40 of a 128-bit register
  kFortyAt20,        // 40 bits at bit 20 of a 128-bit register
  kWhole12,          // a whole 12-byte register, 4 elements
  kNibbleIndexed,    // bit-indexed 4-bit field at 28, stride 4 bits
  kAddressArray,     // an array by address: the element plays no part here
  kEmptyField,       // field_bits 0
  kIndexedNoBytes,   // bit-indexed with reg_bytes 0
  kPastTheTop,       // 4 bits at 30 of a 32-bit register
  kSecondPastTop,    // bit-indexed; element 1 reaches past the register
  kWholeNoBytes,     // whole register of 0 bytes
  kBackwards,        // bit-indexed with a negative stride, 64-bit register
  kWhole10,          // a whole 10-byte register
  kRegCount
};

const hdk_reg_info kRegs[kRegCount] = {
    HDK_REG_INFO(0x00, 4, 4, 8, 1, 0, 0),
    HDK_REG_INFO(0x10, 16, 40, 12, 1, 0, 0),
    HDK_REG_INFO(0x20, 16, 20, 40, 1, 0, 0),
    HDK_REG_INFO(0x30, 12, 0, 0, 4, 12, HDK_REG_WHOLE),
    HDK_REG_INFO(0x40, 4, 28, 4, 8, 4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x44, 4, 8, 8, 4, 4, 0),
    HDK_REG_INFO(0x50, 4, 0, 0, 1, 0, 0),
    HDK_REG_INFO(0x54, 0, 0, 4, 2, 4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x58, 4, 30, 4, 1, 0, 0),
    HDK_REG_INFO(0x5C, 4, 0, 8, 2, 28, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x60, 0, 0, 0, 1, 0, HDK_REG_WHOLE),
    HDK_REG_INFO(0x64, 8, 0, 4, 2, -4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x70, 10, 0, 0, 1, 0, HDK_REG_WHOLE),
};
const hdk_reg_inst kInsts[] = {{0x1000, 0, 0, kRegCount, kRegs}, {0x2000, 0, 0, kRegCount, kRegs}};
const hdk_reg_module kModules[] = {{0, 2, kInsts, 0, 0}, {0, 2, kInsts, 0, 0}};

class WideAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    clear();
    ASSERT_EQ(hdk_register_reg(kDev, &table_), 0);
  }
  void TearDown() override { clear(); }
  static void clear() {
    for (uint32_t i = 0; i < HDK_MAX_DEV_NUM; ++i) {
      g_hdk_regm_chip_cfg[i] = nullptr;
      g_hdk_chip_reg[i] = nullptr;
    }
  }
  static int32_t access(Reg reg, uint32_t elem, uint32_t *image, uint32_t *field,
                        uint32_t direction) {
    return hdk_access_reg_field(kDev, 1, HDK_REG_ID(1, reg), elem, image, field, direction);
  }
  hdk_chip_reg_table table_ = {0, 2, kModules, {0, 0, 0, 0, 0}, nullptr};
};

TEST_F(WideAccess, ReadsAndWritesAFieldOfTheImage) {
  PrintCapture capture;
  uint32_t image[1] = {0x12345678u};
  uint32_t field[1] = {0};
  EXPECT_EQ(access(kByteAt4, 0, image, field, kRead), 0);
  EXPECT_EQ(field[0], 0x67u);
  field[0] = 0xABu;
  EXPECT_EQ(access(kByteAt4, 0, image, field, kWrite), 0);
  EXPECT_EQ(image[0], 0x12345AB8u);
  EXPECT_TRUE(capture.calls().empty());
}

TEST_F(WideAccess, TopChunkWithBitsAboveTheFieldIsNotWrittenButTheCallSucceeds) {
  uint32_t image[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
  uint32_t twelve[1] = {0x1000u};
  EXPECT_EQ(access(kTwelveAt40, 0, image, twelve, kWrite), 0);
  EXPECT_EQ(image[1], 0x22222222u);
  EXPECT_EQ(image[2], 0x33333333u);

  // 40 bits at 20: field bits 0-31 land in register bits 20-51; the refused
  // top chunk would have covered register bits 52-59.
  uint32_t forty[2] = {0x100u, 0xCAFEF00Du};
  EXPECT_EQ(access(kFortyAt20, 0, image, forty, kWrite), 0);
  const uint32_t expected[4] = {0x11111111u, 0x22222222u, 0x333CAFEFu, 0x00D44444u};
  EXPECT_EQ(0, std::memcmp(image, expected, sizeof image));
}

TEST_F(WideAccess, WholeRegisterCopiesExactlyRegBytesBothWays) {
  struct Case {
    Reg reg;
    uint32_t elem;
    uint32_t bytes;
  };
  for (const Case c : {Case{kWhole12, 3, 12}, Case{kWhole12, 0, 12}, Case{kWhole10, 0, 10}}) {
    SCOPED_TRACE(::testing::Message() << "reg_bytes " << c.bytes << " elem " << c.elem);
    // Four data words between guard words; bytes past reg_bytes are guards too.
    std::array<uint8_t, 24> image0{};
    std::array<uint8_t, 24> field0{};
    for (size_t i = 0; i < image0.size(); ++i) {
      image0[i] = static_cast<uint8_t>(0x10 + i);
      field0[i] = static_cast<uint8_t>(0xE0 - i);
    }
    alignas(uint32_t) std::array<uint8_t, 24> image_buf{};
    alignas(uint32_t) std::array<uint8_t, 24> field_buf{};
    auto words = [](std::array<uint8_t, 24> &bytes) {
      return reinterpret_cast<uint32_t *>(bytes.data() + 4);
    };

    image_buf = image0;
    field_buf = field0;
    ASSERT_EQ(access(c.reg, c.elem, words(image_buf), words(field_buf), kRead), 0);
    EXPECT_EQ(image_buf, image0);
    for (size_t i = 0; i < field_buf.size(); ++i) {
      const bool copied = i >= 4 && i < 4 + c.bytes;
      EXPECT_EQ(field_buf[i], copied ? image0[i] : field0[i]) << "byte " << i;
    }

    image_buf = image0;
    field_buf = field0;
    ASSERT_EQ(access(c.reg, c.elem, words(image_buf), words(field_buf), kWrite), 0);
    EXPECT_EQ(field_buf, field0);
    for (size_t i = 0; i < image_buf.size(); ++i) {
      const bool copied = i >= 4 && i < 4 + c.bytes;
      EXPECT_EQ(image_buf[i], copied ? field0[i] : image0[i]) << "byte " << i;
    }
  }
}

TEST_F(WideAccess, OverlappingWholeRegisterCopyIsRefusedAndClearsTheDestination) {
  uint32_t words[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
  EXPECT_EQ(access(kWhole12, 0, words, words + 1, kRead), -1);
  const uint32_t expected[4] = {0x11111111u, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(words, expected, sizeof words));
}

TEST_F(WideAccess, ElementPositions) {
  struct Case {
    Reg reg;
    uint32_t elem;
    uint32_t shift;  // where the written field lands, within the last image word
    uint32_t width;
  };
  const Case cases[] = {
      {kNibbleIndexed, 0, 28, 4},
      {kNibbleIndexed, 1, 0, 4},   // 32 mod 32: wraps within the same register
      {kNibbleIndexed, 3, 8, 4},   // 28 + 12 = 40 mod 32
      {kAddressArray, 0, 8, 8},
      {kAddressArray, 3, 8, 8},    // an address-stepped array ignores the element
      {kBackwards, 1, 28, 4},      // (0 - 4) mod 64 = 60: bit 28 of the first word
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "reg " << c.reg << " elem " << c.elem);
    uint32_t image[2] = {0, 0};
    uint32_t field[1] = {(1u << c.width) - 1u};
    ASSERT_EQ(access(c.reg, c.elem, image, field, kWrite), 0);
    // The 32-bit registers have a one-word image; in the 64-bit one, bit 60
    // is in the first word.
    EXPECT_EQ(image[0], ((1u << c.width) - 1u) << c.shift);
    EXPECT_EQ(image[1], 0u);
    field[0] = 0;
    ASSERT_EQ(access(c.reg, c.elem, image, field, kRead), 0);
    EXPECT_EQ(field[0], (1u << c.width) - 1u);
  }
}

TEST_F(WideAccess, ParameterCheckComesBeforeTheBufferCheck) {
  PrintCapture capture;
  uint32_t image[4] = {1, 2, 3, 4};
  uint32_t field[2] = {5, 6};
  // Module 2 does not exist: reported even though the field buffer is null.
  EXPECT_EQ(hdk_access_reg_field(kDev, 1, 0x00800000u, 0, image, nullptr, kRead), -1);
  ASSERT_EQ(capture.calls().size(), 1u);
  EXPECT_EQ(capture.calls()[0], "\r\nhdk_access_reg_field(11, 1, 0x800000, 0) error code 0x2.");
  capture.clear();
  EXPECT_EQ(access(kWhole12, 4, nullptr, field, kWrite), -1);
  ASSERT_EQ(capture.calls().size(), 1u);
  EXPECT_EQ(capture.calls()[0], "\r\nhdk_access_reg_field(11, 1, 0x400003, 4) error code 0x10.");
  capture.clear();

  // Valid indexes with a null buffer: refused without a message.
  EXPECT_EQ(access(kByteAt4, 0, image, nullptr, kRead), -1);
  EXPECT_EQ(access(kByteAt4, 0, nullptr, field, kWrite), -1);
  EXPECT_EQ(access(kWhole12, 0, nullptr, field, kRead), -1);
  EXPECT_TRUE(capture.calls().empty());

  // A refused index leaves both buffers alone.
  EXPECT_EQ(access(kByteAt4, 1, image, field, kWrite), -1);
  EXPECT_EQ(access(kWhole12, 4, image, field, kRead), -1);
  EXPECT_EQ(image[0], 1u);
  EXPECT_EQ(field[0], 5u);
  EXPECT_EQ(field[1], 6u);
  EXPECT_EQ(capture.calls().size(), 2u);
}

TEST_F(WideAccess, RecordsNoConsistentTableHoldsAreRefusedUntouched) {
  struct Case {
    Reg reg;
    uint32_t elem;
  };
  for (const Case c : {Case{kEmptyField, 0}, Case{kIndexedNoBytes, 1}, Case{kPastTheTop, 0},
                       Case{kSecondPastTop, 1}, Case{kWholeNoBytes, 0}}) {
    for (const uint32_t direction : {kRead, kWrite}) {
      SCOPED_TRACE(::testing::Message() << "reg " << c.reg << " direction " << direction);
      PrintCapture capture;
      uint32_t image[2] = {0x01234567u, 0x89ABCDEFu};
      uint32_t field[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
      EXPECT_EQ(access(c.reg, c.elem, image, field, direction), -1);
      EXPECT_EQ(image[0], 0x01234567u);
      EXPECT_EQ(image[1], 0x89ABCDEFu);
      EXPECT_EQ(field[0], 0xFFFFFFFFu);
      EXPECT_EQ(field[1], 0xFFFFFFFFu);
      EXPECT_TRUE(capture.calls().empty());
    }
  }
  // Element 0 of the same bit-indexed record fits and is served.
  uint32_t image[1] = {0x000000A5u};
  uint32_t field[1] = {0};
  EXPECT_EQ(access(kSecondPastTop, 0, image, field, kRead), 0);
  EXPECT_EQ(field[0], 0xA5u);
}

}  // namespace
