// SPDX-License-Identifier: Apache-2.0
// The FMEA parser's worked examples and its answers when the heap refuses a
// block. Random commands and number lists, null pointers among them, are
// checked against a reference model by the fuzz targets fmea_options and
// fmea_numbers, whose replay tests run in every build.
#include <chip_util/fmea.h>
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "support/alloc_counter.hpp"

// The record (valid, addr, mask, val, cmp_val) of the read option, and the
// dfx list (whose count the fuzz target checks against the list on every
// command).
TEST(FmeaParser, WorkedExamples) {
  const std::tuple<const char *, std::array<uint32_t, 5>, std::vector<uint32_t>> cases[] = {
      {"read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] dfx[1,2,3]", {1, 0x1000, 0xFF, 1, 5}, {1, 2, 3}},
      // The bracket belongs to the keyword. A list with a hexadecimal number
      // holds only those.
      {"read_his[addr=5] dfx[0x1,2]", {}, {1}},
      // Any one separator; either case; digit runs; no sign, no blank; 0x
      // without a digit is the decimal 0.
      {"read[addr 0x20,mask:0X1f,val= 5] dfx[12ab34 -5 0xg]", {1, 0x20, 0x1F, 0, 0}, {12, 34, 5, 0}},
      // val is a key of its own, never the tail of a word such as cmp_val;
      // values wrap modulo 2^32.
      {"read[interval=3,cmp_val=5,val=4294967297,mask=0x123456789]", {1, 0, 0x23456789, 1, 5}, {}},
      // A key after the option's ']' is the next option's; first occurrences
      // only; the list runs to the first ']' after dfx.
      {"read[addr=1,addr=2] dfx[7 read[addr=2,mask=3]", {1, 1, 0, 0, 0}, {7, 2, 3}},
  };
  for (const auto &[command, record, numbers] : cases) {
    drv_fmea_opt opt = {0xD1, 0xD2, 0xD3, 0xD4, 0xD5};
    EXPECT_EQ(drv_fmea_parse_opt(command, DRV_FMEA_OPT_READ, &opt), 1) << command;
    EXPECT_EQ((std::array{opt.valid, opt.addr, opt.mask, opt.val, opt.cmp_val}), record) << command;
    std::vector<uint32_t> dfx(4, 0xC0DECAFEu);
    dfx.resize(drv_fmea_parse_dfx(command, 4, dfx.data()));
    EXPECT_EQ(dfx, numbers) << command;
  }
}

// The option text answers as if there were no such option (and so the dfx
// list, which is read from it).
TEST(FmeaParser, ARefusedHeapBlockReadsAsNoOption) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const chip_test::AllocFailure failing(1);
  EXPECT_EQ(drv_fmea_get_opt_string("read[addr=1] dfx[1]", "read["), nullptr);
  EXPECT_EQ(failing.remaining(), 0u);  // the allocation was tried
}
