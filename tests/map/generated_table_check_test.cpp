// SPDX-License-Identifier: Apache-2.0
// The tables the generator wrote for the example's maps pass the check a
// driver's unit test makes on its registered table.
#include <chip_util/reg_check.h>
#include <gtest/gtest.h>

#include "framer_map.h"
#include "lc7_map.h"
#include "support/print_capture.hpp"

namespace {

TEST(GeneratedTables, PassTheTableCheck) {
  const hdk_reg_ops ops[LC7_BUS_NUM + FRAMER_BUS_NUM] = {};
  hdk_chip_reg_table lc7 = lc7_reg_table;
  hdk_chip_reg_table framer = framer_reg_table;
  lc7.ops_table = ops;
  framer.ops_table = ops;
  const chip_test::PrintCapture capture;
  EXPECT_EQ(chip_check_reg_table(0, &lc7, LC7_BUS_NUM), 0u);
  EXPECT_EQ(chip_check_reg_table(0, &framer, FRAMER_BUS_NUM), 0u);
  EXPECT_TRUE(capture.calls().empty());
  // One bus too few: every module on the last bus is named.
  EXPECT_GT(chip_check_reg_table(0, &lc7, LC7_BUS_NUM - 1), 0u);
  EXPECT_NE(capture.calls().at(0).find("is not below ops_num 1"), std::string::npos);
}

}  // namespace
