// The simulated chip itself: what reads give, what is logged, and how
// queued statuses and a full log or bank behave.
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <vector>

#include "register/sim_chip.hpp"

namespace {

using chip_test::Access;
using chip_test::read_of;
using chip_test::sim_log;
using chip_test::write_of;

class ChipSim : public chip_test::SimChipTest {};

TEST_F(ChipSim, SixteenAndThirtyTwoBitAccessesShareOneBankPerDevice) {
  const hdk_reg_ops *ops = chip_sim_ops();
  ASSERT_EQ(ops, &chip_sim_reg_ops);
  uint32_t word = 0;
  uint16_t half = 0;
  chip_sim_set_reset_value(0xDEADBEEF);
  EXPECT_EQ(ops->read32(1, 0x40, &word), 0);
  EXPECT_EQ(word, 0xDEADBEEFu);
  EXPECT_EQ(ops->read16(1, 0x40, &half), 0);
  EXPECT_EQ(half, 0xBEEFu);
  EXPECT_EQ(ops->write32(1, 0x40, 0x12345678), 0);
  EXPECT_EQ(ops->read16(1, 0x40, &half), 0);
  EXPECT_EQ(half, 0x5678u);
  EXPECT_EQ(ops->write16(1, 0x40, 0xABCD), 0);
  EXPECT_EQ(chip_sim_peek(1, 0x40), 0xABCDu) << "a 16-bit write clears the high half";
  EXPECT_EQ(chip_sim_peek(2, 0x40), 0xDEADBEEFu) << "each device has its own bank";
  EXPECT_EQ(sim_log(),
            (std::vector<Access>{read_of(32, 0x40, 0xDEADBEEF), read_of(16, 0x40, 0xBEEF),
                                 write_of(32, 0x40, 0x12345678), read_of(16, 0x40, 0x5678),
                                 write_of(16, 0x40, 0xABCD)}));
  EXPECT_EQ(chip_sim_log()[0].dev, 1u);
}

// The order and effect of queued statuses is covered by the field model.
TEST_F(ChipSim, FailNextQueuesOneStatusPerAccessUpToTheLimit) {
  const int32_t statuses[] = {0, 3};
  ASSERT_EQ(chip_sim_queue_statuses(statuses, 2), 0);
  ASSERT_EQ(chip_sim_fail_next(1, -5), 0);
  EXPECT_EQ(chip_sim_queued_statuses(), 3u);
  uint32_t word = 1;
  EXPECT_EQ(chip_sim_ops()->read32(0, 8, &word), 0);
  EXPECT_EQ(chip_sim_ops()->read32(0, 8, &word), 3);
  EXPECT_EQ(chip_sim_ops()->read32(0, 8, &word), -5);
  EXPECT_EQ(chip_sim_fail_next(CHIP_SIM_STATUS_QUEUE_MAX + 1, 1), -1);
  EXPECT_EQ(chip_sim_queued_statuses(), 0u);
}

TEST_F(ChipSim, PeekAndPokeAreNotLoggedAndLogLimitsHold) {
  const hdk_reg_ops *ops = chip_sim_ops();
  chip_sim_poke(0, 0, 1);
  chip_sim_peek(0, 0);
  EXPECT_EQ(chip_sim_log_count(), 0u);
  chip_sim_log_enable(0);
  ops->write32(0, 0, 2);
  EXPECT_EQ(chip_sim_log_count(), 0u);
  EXPECT_EQ(chip_sim_peek(0, 0), 2u) << "accesses happen with logging off";
  chip_sim_log_enable(1);
  for (uint32_t i = 0; i < CHIP_SIM_LOG_MAX + 3; ++i) {
    ops->write32(0, i, i);
  }
  EXPECT_EQ(chip_sim_log_count(), size_t{CHIP_SIM_LOG_MAX});
  EXPECT_EQ(chip_sim_log_dropped(), 3u);
  chip_sim_log_clear();
  EXPECT_EQ(chip_sim_log_count(), 0u);
  EXPECT_EQ(chip_sim_log_dropped(), 0u);
}

TEST_F(ChipSim, AFullBankRefusesNewRegistersOnly) {
  const hdk_reg_ops *ops = chip_sim_ops();
  chip_sim_log_enable(0);
  for (uint32_t i = 0; i < CHIP_SIM_MAX_REGS; ++i) {
    ASSERT_EQ(ops->write32(7, i * 4, i), 0);
  }
  EXPECT_EQ(ops->write32(7, 0x100000, 1), CHIP_SIM_STATUS_BANK_FULL);
  EXPECT_EQ(chip_sim_poke(7, 0x100000, 1), -1);
  EXPECT_EQ(ops->write32(7, 4, 99), 0) << "known registers still take writes";
  EXPECT_EQ(chip_sim_peek(7, 4), 99u);
  EXPECT_EQ(chip_sim_peek(7, 4 * (CHIP_SIM_MAX_REGS - 1)), CHIP_SIM_MAX_REGS - 1);
  chip_sim_reset();
  EXPECT_EQ(chip_sim_peek(7, 4), 0u);
  EXPECT_EQ(ops->write32(7, 0x100000, 1), 0);
}

}  // namespace
