// SPDX-License-Identifier: Apache-2.0
// The cases of the bounds-checked functions that random inputs do not
// reach: overlapping strings, adjacent blocks and an encoding error (of
// vsnprintf_s: tests/log). Capacities, counts and texts at and one past
// every capacity, zero and oversized capacities, null pointers and
// overlapping copies are checked against a model by
// fuzz/fuzz_bounds_log.cpp, with pinned seeds for the boundaries.
#include <chip_util/bounds.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>

using namespace std::string_literals;

// Each call gets `d`: 16 bytes of 'q' between 8 guard bytes of 'q' on each
// side. Its result, and what d holds afterwards: the given bytes first, then
// 'q' up to the end of the guards (no other byte may change).
static const std::tuple<int (*)(char *d), int, std::string> kCases[] = {
    {[](char *d) { return memcpy_s(d, 8, d + 8, 8); }, 0, ""},  // adjacent: no overlap
    // Six characters of d copied with their terminator: onto it (d[0]
    // cleared), or just past.
    {[](char *d) { return strncpy_s(d + 6, 8, d, 6); }, EINVAL, "qqqqqq\0"s},
    {[](char *d) { return strncpy_s(d + 7, 8, d, 6); }, 0, "qqqqqqqqqqqqq\0"s},
    // A wide character the "C" locale cannot encode: the formatting fails.
    {[](char *d) { return sprintf_s(d, 8, "%ls", L"a\u0100"); }, -1, "\0"s},
};

TEST(Bounds, OverlapsAdjacencyAndEncodingErrors) {
  for (size_t row = 0; row < std::size(kCases); ++row) {
    const auto &[call, result, after] = kCases[row];
    std::string bytes(32, 'q');
    EXPECT_EQ(call(bytes.data() + 8), result) << "row " << row;
    EXPECT_EQ(bytes, std::string(32, 'q').replace(8, after.size(), after)) << "row " << row;
  }
}
