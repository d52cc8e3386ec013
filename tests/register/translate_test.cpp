// Translation look-ups in both directions through one table of pairs.
#include <chip_util/register.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEFu;

struct Case {
  const char *what;
  bool m1_to_m0;
  uint32_t value;
  int32_t found;      // 0 found, 1 not
  uint32_t expected;  // result after the call
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding included).
void PrintTo(const Case &c, std::ostream *out) { *out << c.what; }

const hdk_trans_pair kTable[] = {{1, 10}, {2, 20}, {2, 30}, {3, 0}, {0xFFFFFFFFu, 2}};
constexpr uint32_t kCount = sizeof kTable / sizeof kTable[0];

class Translate : public ::testing::TestWithParam<Case> {};

TEST_P(Translate, FirstMatchingPairWins) {
  const Case c = GetParam();
  SCOPED_TRACE(c.what);
  uint32_t result = kUntouched;
  const int32_t found = c.m1_to_m0 ? hdk_struct_trans_m1tom0(kTable, kCount, c.value, &result)
                                   : hdk_struct_trans_m0tom1(kTable, kCount, c.value, &result);
  EXPECT_EQ(found, c.found);
  EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, Translate,
    ::testing::Values(Case{"first of two equal m0", false, 2, 0, 20},
                      Case{"m1 of a later pair", true, 30, 0, 2},
                      Case{"missing m1", true, 40, 1, kUntouched},
                      Case{"missing m0", false, 4, 1, kUntouched},
                      Case{"match translating to 0", false, 3, 0, 0},
                      Case{"all 32 bits compared", false, 0xFFFFFFFFu, 0, 2},
                      Case{"m1 2 is in the last pair only", true, 2, 0, 0xFFFFFFFFu},
                      Case{"first pair", true, 10, 0, 1}),
    [](const ::testing::TestParamInfo<Case> &info) { return "case" + std::to_string(info.index); });

TEST(TranslateLimits, CountBoundsTheScan) {
  uint32_t result = kUntouched;
  // Pair 3 lies beyond a count of 3 and is never looked at.
  EXPECT_EQ(hdk_struct_trans_m0tom1(kTable, 3, 3, &result), 1);
  EXPECT_EQ(hdk_struct_trans_m0tom1(kTable, 4, 3, &result), 0);
  EXPECT_EQ(result, 0u);
}

TEST(TranslateLimits, EmptyOrNullTableFindsNothing) {
  uint32_t result = kUntouched;
  EXPECT_EQ(hdk_struct_trans_m0tom1(nullptr, 0, 1, &result), 1);
  EXPECT_EQ(hdk_struct_trans_m1tom0(nullptr, 0, 1, &result), 1);
  EXPECT_EQ(hdk_struct_trans_m0tom1(kTable, 0, 1, &result), 1);
  EXPECT_EQ(hdk_struct_trans_m0tom1(nullptr, 5, 1, &result), 1);
  EXPECT_EQ(hdk_struct_trans_m1tom0(nullptr, 5, 10, &result), 1);
  EXPECT_EQ(result, kUntouched);
}

TEST(TranslateLimits, NullResultIsAMembershipTest) {
  EXPECT_EQ(hdk_struct_trans_m0tom1(kTable, kCount, 2, nullptr), 0);
  EXPECT_EQ(hdk_struct_trans_m1tom0(kTable, kCount, 20, nullptr), 0);
  EXPECT_EQ(hdk_struct_trans_m0tom1(kTable, kCount, 7, nullptr), 1);
  EXPECT_EQ(hdk_struct_trans_m1tom0(kTable, kCount, 7, nullptr), 1);
}

}  // namespace
