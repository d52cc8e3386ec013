// SPDX-License-Identifier: Apache-2.0
// The trace codec's one printed message. The rest (classification, frame
// layout, CRC-7 with the worked example of 15 spaces giving 0xC8, transmit
// patterns of 16- and 64-byte frames, a text capacity of 63, rotations, the
// largest aligner period and refusals) is checked against a reference model
// by the fuzz target j0j1, whose replay test runs in every build.
#include <chip_util/j0j1.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/print_capture.hpp"

// An unknown length is reported on standard output, not through the
// registered print function, with no line end, before the pointers are
// checked; the pattern is left alone. Null pointers with a known length
// refuse silently (fuzz target j0j1).
TEST(Assemble, AnUnknownLengthIsPrintedOnStandardOutput) {
  std::vector<uint8_t> pattern(64, 0xA5);
  const chip_test::PrintCapture registered;
  testing::internal::CaptureStdout();
  EXPECT_EQ(drv_assemble_j0j1_msg(63, pattern.data(), pattern.data()), -1);
  EXPECT_EQ(drv_assemble_j0j1_msg(0xFFFFFFFFu, nullptr, nullptr), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "length out range. length:63length out range. length:4294967295");
  EXPECT_TRUE(registered.calls().empty());
  EXPECT_EQ(pattern, std::vector<uint8_t>(64, 0xA5));
}
