// The trace codec's one printed message and the largest aligner period. The
// rest (classification, frame layout, CRC-7 with the worked example of 15
// spaces giving 0xC8, transmit patterns of 16- and 64-byte frames, a text
// capacity of 63, rotations and refusals) is checked against a reference
// model by the fuzz target j0j1, whose replay test runs in every build.
#include <chip_util/j0j1.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/print_capture.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

// Only an unknown length is reported: on standard output, not through the
// registered print function, with no line end, before the pointers are
// checked. Null pointers with a known length refuse silently. No refusal
// writes into the pattern.
TEST(Assemble, OnlyAnUnknownLengthIsPrinted) {
  const Bytes frame(64, 0x41);
  Bytes pattern(64, 0xA5);
  const chip_test::PrintCapture registered;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  EXPECT_EQ(drv_assemble_j0j1_msg(63, frame.data(), pattern.data()), -1);
  EXPECT_EQ(drv_assemble_j0j1_msg(0xFFFFFFFFu, nullptr, nullptr), -1);
  EXPECT_EQ(drv_assemble_j0j1_msg(0, frame.data(), nullptr), -1);
  EXPECT_EQ(drv_assemble_j0j1_msg(16, nullptr, pattern.data()), -1);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "length out range. length:63length out range. length:4294967295");
  EXPECT_TRUE(registered.calls().empty());
  EXPECT_EQ(pattern, Bytes(64, 0xA5));
}

// Positions near the top of the 16-bit range, out of place and in place.
TEST(Align, LargestPeriodIsAccepted) {
  Bytes src(DRV_J0J1_MAX_PERIOD, 0x41);
  src[DRV_J0J1_MAX_PERIOD - 2] = 0x80;
  src[DRV_J0J1_MAX_PERIOD - 1] = 0x0D;  // its LF wraps round to byte 0
  src[0] = 0x0A;
  Bytes dest(src.size());
  Bytes expected(src.size());
  ASSERT_EQ(drv_decode_16byte_j0j1_rx_msg(DRV_J0J1_MAX_PERIOD, src.data(), dest.data()), 0);
  std::rotate_copy(src.begin(), src.end() - 1, src.end(), expected.begin());
  EXPECT_EQ(dest, expected);
  std::rotate_copy(src.begin(), src.begin() + 1, src.end(), expected.begin());
  ASSERT_EQ(drv_decode_64byte_j0j1_rx_msg(DRV_J0J1_MAX_PERIOD, src.data(), src.data()), 0);
  EXPECT_EQ(src, expected);
}

}  // namespace
