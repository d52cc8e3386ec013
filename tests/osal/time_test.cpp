// Clocks, the clock fallback, the date record, delay splitting and the
// stack-trace probe.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <ostream>
#include <string>

#include "osal/time_math.hpp"
#include "seam_guard.hpp"

namespace {

using std::chrono::steady_clock;

long long elapsed_us(steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::microseconds>(steady_clock::now() - since).count();
}

TEST(Clock, FailingClockCountsUpFromTheFallbackCounter) {
  g_ui_usec_for_fail = 0;
  const osal_test::BrokenClock broken;
  EXPECT_EQ(hdk_time_usecs(), 0u);
  EXPECT_EQ(hdk_time_usecs(), 1u);
  EXPECT_EQ(hdk_time_usecs(), 2u);
  EXPECT_EQ(g_ui_usec_for_fail, 3u);
}

TEST(Clock, BusyWaitOnAFailingClockEndsAfterThatManyReadings) {
  const osal_test::BrokenClock broken;
  const uint64_t before = g_ui_usec_for_fail;
  osal_udelay(5);
  EXPECT_EQ(g_ui_usec_for_fail, before + 6);  // the start, then five more
  osal_udelay(0);
  EXPECT_EQ(g_ui_usec_for_fail, before + 8);  // the start and one check
}

TEST(Clock, WorkingClockLeavesTheFallbackAlone) {
  const uint64_t before = g_ui_usec_for_fail;
  const uint64_t first = hdk_time_usecs();
  osal_ms_delay(1);
  const uint64_t second = hdk_time_usecs();
  EXPECT_GE(second - first, 1000u);
  EXPECT_LT(second - first, 1000000u);
  EXPECT_EQ(g_ui_usec_for_fail, before);
}

TEST(Clock, MicrosecondArithmetic) {
  EXPECT_EQ(osal::monotonic_usecs({5, 999}), 5000000u);
  EXPECT_EQ(osal::monotonic_usecs({7, 123456789}), 7123456u);
  // Seconds are taken as 32 bits before the multiplication.
  EXPECT_EQ(osal::monotonic_usecs({static_cast<time_t>(0x100000001LL), 0}), 1000000u);
  EXPECT_EQ(osal::monotonic_usecs({0xFFFFFFFF, 999999999}), 4294967295999999ull);
  EXPECT_EQ(osal::wall_clock_ms({1, 999999}), 1999);
  EXPECT_EQ(osal::wall_clock_ms({0, 0}), 0);
}

TEST(Clock, WallClockMillisecondsFollowTheEpoch) {
  const long long seconds = static_cast<long long>(time(nullptr));
  const int64_t ms = osal_get_time_ms();
  EXPECT_GE(ms, (seconds - 2) * 1000);
  EXPECT_LE(ms, (seconds + 2) * 1000);
}

struct SplitCase {
  const char *unit;
  timespec (*split)(uint32_t);
  uint32_t count;
  time_t seconds;
  long nanos;
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding and pointers included).
void PrintTo(const SplitCase &c, std::ostream *out) { *out << c.count << ' ' << c.unit; }

class DelaySplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(DelaySplit, GivesSecondsAndNanoseconds) {
  const SplitCase c = GetParam();
  const timespec request = c.split(c.count);
  EXPECT_EQ(request.tv_sec, c.seconds);
  EXPECT_EQ(request.tv_nsec, c.nanos);
}

INSTANTIATE_TEST_SUITE_P(
    Units, DelaySplit,
    ::testing::Values(SplitCase{"ms", osal::split_ms, 1500, 1, 500000000},
                      SplitCase{"ms", osal::split_ms, 999, 0, 999000000},
                      SplitCase{"ms", osal::split_ms, UINT32_MAX, 4294967, 295000000},
                      SplitCase{"us", osal::split_us, 999999, 0, 999999000},
                      SplitCase{"us", osal::split_us, 1000000, 1, 0},
                      SplitCase{"us", osal::split_us, UINT32_MAX, 4294, 967295000},
                      SplitCase{"ns", osal::split_ns, 0, 0, 0},
                      SplitCase{"ns", osal::split_ns, 999999999, 0, 999999999},
                      SplitCase{"ns", osal::split_ns, UINT32_MAX, 4, 294967295}),
    [](const auto &info) {
      return std::string(info.param.unit) + "_" + std::to_string(info.param.count);
    });

TEST(Delay, ShortWaitsLastAtLeastTheirTime) {
  auto start = steady_clock::now();
  osal_ns_delay(0);
  osal_ns_delay(2000000);
  EXPECT_GE(elapsed_us(start), 2000);
  start = steady_clock::now();
  osal_usleep(3000);
  EXPECT_GE(elapsed_us(start), 3000);
  start = steady_clock::now();
  EXPECT_EQ(osal_task_delay(5), 0);
  EXPECT_GE(elapsed_us(start), 5000);
  start = steady_clock::now();
  osal_udelay(2000);
  // Both of the busy wait's readings are cut to whole microseconds, so the
  // true time may fall short by less than one.
  EXPECT_GE(elapsed_us(start), 1999);
}

TEST(DateTime, FieldsComeFromTheBrokenDownTime) {
  struct tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 4;
  t.tm_hour = 1;
  t.tm_min = 33;
  t.tm_sec = 6;
  const osal_date_time d = osal::date_time_of(t);
  EXPECT_EQ(d.year, 2026);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 4);
  EXPECT_EQ(d.hour, 1);
  EXPECT_EQ(d.minute, 33);
  EXPECT_EQ(d.second, 6);
  // A cleared record, as a failed conversion leaves it.
  const osal_date_time cleared = osal::date_time_of(tm{});
  EXPECT_EQ(cleared.year, 1900);
  EXPECT_EQ(cleared.month, 1);
  EXPECT_EQ(cleared.day, 0);
  // Each byte keeps the low 8 bits.
  t.tm_sec = 0x1FF;
  EXPECT_EQ(osal::date_time_of(t).second, 0xFF);
}

TEST(DateTime, WritesSevenBytesOfTheCurrentLocalTime) {
  unsigned char raw[sizeof(osal_date_time) + 4];
  std::memset(raw, 0xEE, sizeof raw);
  osal_date_time *record = reinterpret_cast<osal_date_time *>(raw);
  struct tm before{};
  struct tm after{};
  time_t now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &before), &before);
  EXPECT_EQ(osal_sys_time_get(record), 0);
  now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &after), &after);
  for (size_t i = 7; i < sizeof raw; ++i) {
    EXPECT_EQ(raw[i], 0xEE) << "byte " << i;
  }
  osal_date_time got;
  std::memcpy(&got, raw, sizeof got);
  const auto matches = [&](const struct tm &t) {
    const osal_date_time want = osal::date_time_of(t);
    return std::memcmp(&got, &want, 7) == 0;
  };
  EXPECT_TRUE(matches(before) || matches(after));
  EXPECT_EQ(osal_sys_time_get(nullptr), 0);
}

TEST(StackTrace, ProducesSymbolsForAtMostTenFrames) {
  EXPECT_EQ(osal_stack_trace(50), 0);
  EXPECT_EQ(osal_stack_trace(1), 0);
}

}  // namespace
