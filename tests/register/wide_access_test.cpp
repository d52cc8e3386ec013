// hdk_access_reg_field: the parameter check first, then the buffer checks,
// whole-register copies, element positions and the records it refuses.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "register/sim_chip.hpp"
#include "support/print_capture.hpp"

namespace {

using chip_test::PrintCapture;

constexpr uint32_t kDev = 11;
constexpr uint32_t kRead = 0;
constexpr uint32_t kWrite = 3;  // any non-zero direction writes

enum Reg : uint32_t {
  kFortyAt20,       // 40 bits at bit 20 of a 128-bit register
  kWhole12,         // a whole 12-byte register, 4 elements
  kWhole10,         // a whole 10-byte register
  kNibbleIndexed,   // bit-indexed 4-bit field at 28, stride 4 bits
  kAddressArray,    // an array by address: the element plays no part here
  kBackwards,       // bit-indexed with a negative stride, 64-bit register
  kEmptyField,      // field_bits 0
  kIndexedNoBytes,  // bit-indexed with reg_bytes 0
  kPastTheTop,      // 4 bits at 30 of a 32-bit register
  kSecondPastTop,   // bit-indexed; element 1 reaches past the register
  kWholeNoBytes,    // whole register of 0 bytes
  kRegCount
};

const hdk_reg_info kRegs[kRegCount] = {
    HDK_REG_INFO(0x20, 16, 20, 40, 1, 0, 0),
    HDK_REG_INFO(0x30, 12, 0, 0, 4, 12, HDK_REG_WHOLE),
    HDK_REG_INFO(0x70, 10, 0, 0, 1, 0, HDK_REG_WHOLE),
    HDK_REG_INFO(0x40, 4, 28, 4, 8, 4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x44, 4, 8, 8, 4, 4, 0),
    HDK_REG_INFO(0x64, 8, 0, 4, 2, -4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x50, 4, 0, 0, 1, 0, 0),
    HDK_REG_INFO(0x54, 0, 0, 4, 2, 4, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x58, 4, 30, 4, 1, 0, 0),
    HDK_REG_INFO(0x5C, 4, 0, 8, 2, 28, HDK_REG_BIT_INDEXED),
    HDK_REG_INFO(0x60, 0, 0, 0, 1, 0, HDK_REG_WHOLE),
};
const hdk_reg_inst kInsts[] = {{0x1000, 0, 0, kRegCount, kRegs}, {0x2000, 0, 0, kRegCount, kRegs}};
const hdk_reg_module kModules[] = {{0, 2, kInsts, 0, 0}, {0, 2, kInsts, 0, 0}};

class WideAccess : public chip_test::SimChipTest {
 protected:
  void SetUp() override {
    SimChipTest::SetUp();
    ASSERT_EQ(hdk_register_reg(kDev, &table_), 0);
  }
  static int32_t access(Reg reg, uint32_t elem, uint32_t *image, uint32_t *field,
                        uint32_t direction) {
    return hdk_access_reg_field(kDev, 1, HDK_REG_ID(1, reg), elem, image, field, direction);
  }
  hdk_chip_reg_table table_ = {0, 2, kModules, {0, 0, 0, 0, 0}, nullptr};
};

TEST_F(WideAccess, TopChunkWithBitsAboveTheFieldIsNotWrittenButTheCallSucceeds) {
  // Field bits 0-31 land in register bits 20-51; the refused top chunk would
  // have covered register bits 52-59.
  uint32_t image[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
  uint32_t forty[2] = {0x100u, 0xCAFEF00Du};
  EXPECT_EQ(access(kFortyAt20, 0, image, forty, kWrite), 0);
  EXPECT_EQ(std::to_array(image),
            (std::array<uint32_t, 4>{0x11111111u, 0x22222222u, 0x333CAFEFu, 0x00D44444u}));
}

TEST_F(WideAccess, WholeRegisterCopiesExactlyRegBytesBothWays) {
  struct Case {
    Reg reg;
    uint32_t elem;
    uint32_t bytes;
  };
  for (const Case c : {Case{kWhole12, 3, 12}, Case{kWhole10, 0, 10}}) {
    for (const uint32_t direction : {kRead, kWrite}) {
      SCOPED_TRACE(::testing::Message() << "reg_bytes " << c.bytes << " direction " << direction);
      // Four data words between guard words; bytes past reg_bytes are guards too.
      alignas(uint32_t) std::array<uint8_t, 24> image{};
      alignas(uint32_t) std::array<uint8_t, 24> field{};
      for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(0x10 + i);
        field[i] = static_cast<uint8_t>(0xE0 - i);
      }
      const bool read = direction == kRead;
      const auto source = read ? image : field;
      const auto destination = read ? field : image;
      ASSERT_EQ(access(c.reg, c.elem, reinterpret_cast<uint32_t *>(image.data() + 4),
                       reinterpret_cast<uint32_t *>(field.data() + 4), direction),
                0);
      EXPECT_EQ(read ? image : field, source);
      for (size_t i = 0; i < image.size(); ++i) {
        const bool copied = i >= 4 && i < 4 + c.bytes;
        EXPECT_EQ((read ? field : image)[i], copied ? source[i] : destination[i]) << "byte " << i;
      }
    }
  }
}

TEST_F(WideAccess, OverlappingWholeRegisterCopyIsRefusedAndClearsTheDestination) {
  uint32_t words[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
  EXPECT_EQ(access(kWhole12, 0, words, words + 1, kRead), -1);
  EXPECT_EQ(std::to_array(words), (std::array<uint32_t, 4>{0x11111111u, 0, 0, 0}));
}

TEST_F(WideAccess, ElementPositions) {
  struct Case {
    Reg reg;
    uint32_t elem;
    uint32_t shift;  // where the written field lands, within the first image word
    uint32_t width;
  };
  const Case cases[] = {
      {kNibbleIndexed, 0, 28, 4},
      {kNibbleIndexed, 1, 0, 4},  // 32 mod 32: wraps within the same register
      {kNibbleIndexed, 3, 8, 4},  // 28 + 12 = 40 mod 32
      {kAddressArray, 0, 8, 8},
      {kAddressArray, 3, 8, 8},   // an address-stepped array ignores the element
      {kBackwards, 1, 28, 4},     // (0 - 4) mod 64 = 60: bit 28 of the first word
      {kSecondPastTop, 0, 0, 8},  // element 1 does not fit, element 0 does
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << "reg " << c.reg << " elem " << c.elem);
    uint32_t image[2] = {0, 0};
    uint32_t field[1] = {(1u << c.width) - 1u};
    ASSERT_EQ(access(c.reg, c.elem, image, field, kWrite), 0);
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
  EXPECT_EQ(access(kWhole12, 4, nullptr, field, kWrite), -1);
  EXPECT_EQ(capture.calls(), (std::vector<std::string>{
                                 "\r\nhdk_access_reg_field(11, 1, 0x800000, 0) error code 0x2.",
                                 "\r\nhdk_access_reg_field(11, 1, 0x400001, 4) error code 0x10."}));
  capture.clear();

  // Valid indexes with a null buffer: refused without a message.
  EXPECT_EQ(access(kAddressArray, 0, image, nullptr, kRead), -1);
  EXPECT_EQ(access(kAddressArray, 0, nullptr, field, kWrite), -1);
  EXPECT_EQ(access(kWhole12, 0, nullptr, field, kRead), -1);
  EXPECT_TRUE(capture.calls().empty());

  // A refused index leaves both buffers alone.
  EXPECT_EQ(access(kAddressArray, 4, image, field, kWrite), -1);
  EXPECT_EQ(access(kWhole12, 4, image, field, kRead), -1);
  EXPECT_EQ(std::to_array(image), (std::array<uint32_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(std::to_array(field), (std::array<uint32_t, 2>{5, 6}));
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
      std::array<uint32_t, 2> image = {0x01234567u, 0x89ABCDEFu};
      std::array<uint32_t, 2> field = {0xFFFFFFFFu, 0xFFFFFFFFu};
      EXPECT_EQ(access(c.reg, c.elem, image.data(), field.data(), direction), -1);
      EXPECT_EQ(image, (std::array<uint32_t, 2>{0x01234567u, 0x89ABCDEFu}));
      EXPECT_EQ(field, (std::array<uint32_t, 2>{0xFFFFFFFFu, 0xFFFFFFFFu}));
      EXPECT_TRUE(capture.calls().empty());
    }
  }
}

}  // namespace
