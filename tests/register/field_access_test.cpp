// The simulated chip, and field access on it beyond what the fuzz models
// (fuzz/fuzz_reg_field.cpp, fuzz/fuzz_wide_field.cpp) check: that no
// success path allocates, and the refusals of hdk_access_reg_field that the
// wide-field model does not see (its message, overlapping buffers).
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

// One bank per device shared by both widths, the ordered access log, the
// queued statuses, and peek and poke, which are not logged.
TEST(ChipSim, LogsEveryAccessInOrderWithItsQueuedStatus) {
  chip_sim_reset();
  chip_sim_set_reset_value(0xDEADBEEF);
  const hdk_reg_ops *ops = chip_sim_ops();
  uint32_t word = 0;
  uint16_t half = 0;
  EXPECT_EQ(ops->read32(1, 0x40, &word), 0);
  EXPECT_EQ(ops->write32(1, 0x40, 0x12345678), 0);
  EXPECT_EQ(ops->read16(1, 0x40, &half), 0);
  EXPECT_EQ(ops->write16(1, 0x40, 0xABCD), 0);
  const int32_t statuses[] = {0, 3};
  ASSERT_EQ(chip_sim_queue_statuses(statuses, 2), 0);
  ASSERT_EQ(chip_sim_fail_next(1, -5), 0);
  EXPECT_EQ(chip_sim_queued_statuses(), 3u);
  EXPECT_EQ(ops->read32(1, 0x40, &word), 0);
  EXPECT_EQ(ops->write32(1, 0x40, 7), 3) << "and leaves the register";
  EXPECT_EQ(ops->read32(1, 0x40, &word), -5) << "and stores nothing";
  EXPECT_EQ(chip_sim_poke(2, 0x40, 9), 0);
  EXPECT_EQ(chip_sim_peek(2, 0x40), 9u) << "each device has its own bank";
  EXPECT_EQ(chip_sim_peek(1, 0x40), word) << "a 16-bit write clears the high half";
  using Entry = std::tuple<chip_sim_kind, uint32_t, uint32_t, uint32_t, uint32_t, int32_t>;
  std::vector<Entry> log;
  for (size_t i = 0; i < chip_sim_log_count(); ++i) {
    const chip_sim_access &a = chip_sim_log()[i];
    log.emplace_back(a.kind, a.width, a.dev, a.addr, a.value, a.status);
  }
  const chip_sim_kind R = CHIP_SIM_READ, W = CHIP_SIM_WRITE;
  EXPECT_EQ(log, (std::vector<Entry>{{R, 32, 1, 0x40, 0xDEADBEEF, 0},
                                     {W, 32, 1, 0x40, 0x12345678, 0},
                                     {R, 16, 1, 0x40, 0x5678, 0},
                                     {W, 16, 1, 0x40, 0xABCD, 0},
                                     {R, 32, 1, 0x40, 0xABCD, 0},
                                     {W, 32, 1, 0x40, 7, 3},
                                     {R, 32, 1, 0x40, 0, -5}}));
}

constexpr uint32_t kDev = 3;

// One instance at 0x100 on the simulated chip, registered for kDev while
// the object lives.
struct Chip {
  const hdk_reg_info regs[6] = {
      HDK_REG_INFO(0x10, 4, 28, 4, 4, 4, HDK_REG_BIT_INDEXED), HDK_REG32_WHOLE(0x20),
      HDK_REG16_FIELD(0x30, 4, 3),                             HDK_REG16_WHOLE(0x40),
      HDK_REG_INFO(0x50, 12, 0, 0, 1, 0, HDK_REG_WHOLE),  // a whole 12-byte register
      HDK_REG_INFO(0x60, 16, 20, 40, 1, 0, 0),            // bits 20-59 of 128
  };
  const hdk_reg_inst inst = {0x100, 0, 0, 6, regs};
  const hdk_reg_module module = {0, 1, &inst, 0, 0};
  hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};

  Chip() {
    chip_sim_reset();
    EXPECT_EQ(hdk_register_reg(kDev, &table), 0);
  }
  ~Chip() { g_hdk_chip_reg[kDev] = nullptr; }
};

TEST(FieldAccess, NoSuccessPathAllocates) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const Chip chip;
  uint32_t value = 0;
  uint16_t half = 0;
  uint32_t image[4] = {};
  uint32_t field[3] = {1, 2, 3};
  chip_test::AllocCounter counter;
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 0, 2, 5), 0);
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 2, &value), 0);
  EXPECT_EQ(hdk_set_reg_field32(kDev, 0, 0, 2, &value, 1), 0);
  EXPECT_EQ(hdk_write_reg32_field(kDev, 0, 1, 0, 0xCAFEF00D), 0);
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 1, 0, &value), 0);
  EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 2, 0, 5), 0);
  EXPECT_EQ(hdk_read_reg16_field(kDev, 0, 2, 0, &half), 0);
  EXPECT_EQ(hdk_write_reg16_field(kDev, 0, 3, 0, 0xBEEF), 0);
  EXPECT_EQ(hdk_read_reg16_field(kDev, 0, 3, 0, &half), 0);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 4, 0, image, field, 0), 0);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 5, 0, image, field, 1), 0);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 5, 0, image, field, 0), 0);
  EXPECT_EQ(counter.allocations(), 0u);
}

TEST(FieldAccess, AccessRegFieldRefusals) {
  const Chip chip;
  uint32_t words[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
  // The parameter check comes before the buffer check, which prints nothing.
  chip_test::PrintCapture capture;
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 9, 0, nullptr, words, 0), -1);
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 5, 0, words, nullptr, 0), -1);
  EXPECT_EQ(capture.text(), "\r\nhdk_access_reg_field(3, 0, 0x9, 0) error code 0x8.");
  // Overlapping buffers: memcpy_s clears the destination's 12 bytes and fails.
  EXPECT_EQ(hdk_access_reg_field(kDev, 0, 4, 0, words, words + 1, 0), -1);
  EXPECT_EQ(std::to_array(words), (std::array<uint32_t, 4>{0x11111111u, 0, 0, 0}));
}

}  // namespace
