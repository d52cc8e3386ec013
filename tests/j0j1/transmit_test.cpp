// Encoding trace text into frames and laying frames into the transmit pattern.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "support/print_capture.hpp"

namespace {

using Pattern = std::array<uint8_t, 64>;
constexpr uint8_t kUntouched = 0xA5;

Pattern filled(uint8_t value) {
  Pattern p;
  p.fill(value);
  return p;
}

Pattern counting_text() {
  Pattern text;
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<uint8_t>('A' + i % 26);
  }
  return text;
}

TEST(Encode, FifteenSpacesMakeTheWorkedExampleFrame) {
  const Pattern spaces = filled(0x20);
  Pattern frame = filled(kUntouched);
  ASSERT_EQ(drv_encode_j0j1_tx_msg(16, spaces.data(), frame.data()), 0);
  EXPECT_EQ(frame[0], 0xC8);
  for (size_t i = 1; i < 16; ++i) {
    EXPECT_EQ(frame[i], 0x20) << i;
  }
  EXPECT_EQ(frame[16], kUntouched);  // a 16-byte frame writes 16 bytes only
}

TEST(Encode, SixtyFourByteFrameIsTextThenCrLf) {
  const Pattern text = counting_text();
  Pattern frame = filled(kUntouched);
  ASSERT_EQ(drv_encode_j0j1_tx_msg(64, text.data(), frame.data()), 0);
  EXPECT_TRUE(std::equal(text.begin(), text.begin() + 62, frame.begin()));
  EXPECT_EQ(frame[62], 0x0D);
  EXPECT_EQ(frame[63], 0x0A);
}

TEST(Encode, CopiesBit7OfCharactersUnchanged) {
  Pattern text = filled(0x20);
  text[3] = 0xC1;
  Pattern frame{};
  ASSERT_EQ(drv_encode_j0j1_tx_msg(16, text.data(), frame.data()), 0);
  EXPECT_EQ(frame[4], 0xC1);
  ASSERT_EQ(drv_encode_j0j1_tx_msg(64, text.data(), frame.data()), 0);
  EXPECT_EQ(frame[3], 0xC1);
}

TEST(Encode, TextMayBeTheFrameBuffer) {
  for (uint32_t length : {16u, 64u}) {
    const Pattern text = counting_text();
    Pattern expected{};
    ASSERT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), expected.data()), 0);
    Pattern in_place = text;
    ASSERT_EQ(drv_encode_j0j1_tx_msg(length, in_place.data(), in_place.data()), 0);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + length, in_place.begin()))
        << "length " << length;
  }
}

TEST(Encode, RefusesOtherLengthsAndNullsWritingNothing) {
  const Pattern text = counting_text();
  for (uint32_t length : {0u, 1u, 2u, 15u, 17u, 32u, 62u, 63u, 65u, 0xFFFFFFFFu}) {
    Pattern frame = filled(kUntouched);
    EXPECT_EQ(drv_encode_j0j1_tx_msg(length, text.data(), frame.data()), -1) << length;
    EXPECT_EQ(frame, filled(kUntouched)) << length;
  }
  Pattern frame = filled(kUntouched);
  EXPECT_EQ(drv_encode_j0j1_tx_msg(16, nullptr, frame.data()), -1);
  EXPECT_EQ(drv_encode_j0j1_tx_msg(64, nullptr, frame.data()), -1);
  EXPECT_EQ(frame, filled(kUntouched));
  EXPECT_EQ(drv_encode_j0j1_tx_msg(16, text.data(), nullptr), -1);
}

TEST(Assemble, LaysOutEachTraceLength) {
  Pattern frame16{};
  const Pattern text = counting_text();
  ASSERT_EQ(drv_encode_j0j1_tx_msg(16, text.data(), frame16.data()), 0);
  Pattern frame64{};
  ASSERT_EQ(drv_encode_j0j1_tx_msg(64, text.data(), frame64.data()), 0);

  Pattern pattern = filled(kUntouched);
  ASSERT_EQ(drv_assemble_j0j1_msg(0, nullptr, pattern.data()), 0);  // source not read
  EXPECT_EQ(pattern, filled(0x00));

  const uint8_t single = 0x5A;
  ASSERT_EQ(drv_assemble_j0j1_msg(1, &single, pattern.data()), 0);
  EXPECT_EQ(pattern, filled(single));

  ASSERT_EQ(drv_assemble_j0j1_msg(16, frame16.data(), pattern.data()), 0);
  for (size_t i = 0; i < pattern.size(); ++i) {
    EXPECT_EQ(pattern[i], frame16[i % 16]) << i;
  }

  ASSERT_EQ(drv_assemble_j0j1_msg(64, frame64.data(), pattern.data()), 0);
  EXPECT_EQ(pattern, frame64);
}

// The report goes to standard output with printf, never to the print
// function the driver registered, and carries no line end.
TEST(Assemble, UnknownLengthPrintsOnStandardOutputAndLeavesPatternAlone) {
  const Pattern frame = counting_text();
  struct Case {
    uint32_t length;
    bool null_pattern;
    const char *printed;
  };
  const Case cases[] = {
      {2, false, "length out range. length:2"},
      {63, false, "length out range. length:63"},
      {0xFFFFFFFFu, false, "length out range. length:4294967295"},
      {17, true, "length out range. length:17"},  // reported before the null check
  };
  for (const Case &c : cases) {
    chip_test::PrintCapture registered;
    Pattern pattern = filled(kUntouched);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    const int32_t result =
        drv_assemble_j0j1_msg(c.length, frame.data(), c.null_pattern ? nullptr : pattern.data());
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(pattern, filled(kUntouched));
    EXPECT_TRUE(registered.calls().empty());
  }
}

TEST(Assemble, NullPointersWithKnownLengthRefuseSilently) {
  const Pattern frame = counting_text();
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  Pattern pattern = filled(kUntouched);
  for (uint32_t length : {1u, 16u, 64u}) {
    EXPECT_EQ(drv_assemble_j0j1_msg(length, nullptr, pattern.data()), -1) << length;
    EXPECT_EQ(drv_assemble_j0j1_msg(length, frame.data(), nullptr), -1) << length;
  }
  EXPECT_EQ(drv_assemble_j0j1_msg(0, frame.data(), nullptr), -1);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(pattern, filled(kUntouched));
}

}  // namespace
