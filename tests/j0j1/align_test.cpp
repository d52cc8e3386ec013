// The two aligners at any period: boundaries, refusals and in-place use.
#include <chip_util/j0j1.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Aligner = int32_t (*)(uint32_t, const uint8_t *, uint8_t *);
constexpr uint8_t kUntouched = 0xA5;

// Where the frame starts, per the two delimiters; -1 when refused.
long marker_start(const Bytes &src) {
  long found = -1;
  for (size_t i = 0; i < src.size(); ++i) {
    if (src[i] & 0x80) {
      if (found >= 0) {
        return -1;
      }
      found = static_cast<long>((i + 1) % src.size());
    }
  }
  return found;
}

long crlf_start(const Bytes &src) {
  const size_t n = src.size();
  if (std::count(src.begin(), src.end(), 0x0D) != 1) {
    return -1;
  }
  const size_t cr = static_cast<size_t>(std::find(src.begin(), src.end(), 0x0D) - src.begin());
  return src[(cr + 1) % n] == 0x0A ? static_cast<long>((cr + 2) % n) : -1;
}

void expect_matches_model(Aligner align, long (*start_of)(const Bytes &), const Bytes &src) {
  const long start = start_of(src);
  Bytes expected(src.size(), kUntouched);
  if (start >= 0) {
    std::rotate_copy(src.begin(), src.begin() + start, src.end(), expected.begin());
  }
  Bytes dest(src.size(), kUntouched);
  ASSERT_EQ(align(static_cast<uint32_t>(src.size()), src.data(), dest.data()), start < 0 ? -1 : 0);
  ASSERT_EQ(dest, expected);
  Bytes in_place = src;
  ASSERT_EQ(align(static_cast<uint32_t>(src.size()), in_place.data(), in_place.data()),
            start < 0 ? -1 : 0);
  ASSERT_EQ(in_place, start < 0 ? src : expected);
}

TEST(Align, RandomPeriodsMatchTheModel) {
  std::mt19937 rng(0x16);
  std::uniform_int_distribution<size_t> period(1, 130);
  const uint8_t alphabet[] = {0x0D, 0x0A, 0x80, 0xFF, 0x41, 0x42, 0x43, 0x44, 0x45};
  for (int round = 0; round < 5000; ++round) {
    Bytes src(period(rng));
    // Sparse delimiters so that valid frames turn up often.
    for (auto &b : src) {
      b = alphabet[rng() % 20 < 2 ? rng() % 4 : 4 + rng() % 5];
    }
    SCOPED_TRACE(round);
    expect_matches_model(drv_decode_16byte_j0j1_rx_msg, marker_start, src);
    expect_matches_model(drv_decode_64byte_j0j1_rx_msg, crlf_start, src);
  }
}

TEST(Align, RefusesZeroOversizedPeriodAndNulls) {
  Bytes src(16, 0x41);
  src[3] = 0x8D;
  Bytes dest(16, kUntouched);
  for (Aligner align : {drv_decode_16byte_j0j1_rx_msg, drv_decode_64byte_j0j1_rx_msg}) {
    EXPECT_EQ(align(0, src.data(), dest.data()), -1);
    EXPECT_EQ(align(65536, src.data(), dest.data()), -1);
    EXPECT_EQ(align(0xFFFFFFFFu, src.data(), dest.data()), -1);
    EXPECT_EQ(align(16, nullptr, dest.data()), -1);
    EXPECT_EQ(align(16, src.data(), nullptr), -1);
  }
  EXPECT_EQ(dest, Bytes(16, kUntouched));
}

TEST(Align, LargestPeriodIsAccepted) {
  Bytes src(DRV_J0J1_MAX_PERIOD, 0x41);
  src[65533] = 0x80;
  expect_matches_model(drv_decode_16byte_j0j1_rx_msg, marker_start, src);
  src[65533] = 0x0D;
  src[65534] = 0x0A;
  expect_matches_model(drv_decode_64byte_j0j1_rx_msg, crlf_start, src);
}

}  // namespace
