// Clocks, the clock fallback and the waits that poll it, the date record,
// delay splitting and the stack-trace probe.
#include <chip_util/osal.h>

#include <semaphore.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <ctime>

#include "osal/time_math.hpp"
#include "seam_guard.hpp"

namespace {

// Failing readings count up from the fallback counter. The busy wait and
// the timed take read the clock once at the start and once per check, so on
// a failing clock they end after that many readings.
TEST(Clock, FailingClockCountsAndBoundsThePollingWaits) {
  struct Case {
    bool busy_wait;  // osal_udelay, or a timed take on a semaphore
    bool given;      // the semaphore holds one already
    uint32_t us;
    uint64_t readings;
  };
  const Case cases[] = {{true, false, 5, 6},
                        {true, false, 0, 2},
                        {false, false, 5, 6},
                        {false, false, 0, 2},
                        {false, true, 0, 1}};
  g_ui_usec_for_fail = 0;
  const osal_test::BrokenClock broken;
  EXPECT_EQ(hdk_time_usecs(), 0u);
  EXPECT_EQ(hdk_time_usecs(), 1u);
  for (const Case &c : cases) {
    sem_t sem;
    ASSERT_EQ(sem_init(&sem, 0, c.given ? 1 : 0), 0);
    const uint64_t before = g_ui_usec_for_fail;
    if (c.busy_wait) {
      osal_udelay(c.us);
    } else {
      EXPECT_EQ(hdk_sem_take_timeout(&sem, c.us), c.given ? 0 : -1);
    }
    EXPECT_EQ(g_ui_usec_for_fail - before, c.readings) << c.busy_wait << c.given << c.us;
    sem_destroy(&sem);
  }
}

TEST(Clock, MicrosecondArithmetic) {
  EXPECT_EQ(osal::monotonic_usecs({7, 123456789}), 7123456u);
  // Seconds are taken as 32 bits before the multiplication.
  EXPECT_EQ(osal::monotonic_usecs({static_cast<time_t>(0x100000001LL), 0}), 1000000u);
  EXPECT_EQ(osal::monotonic_usecs({0xFFFFFFFF, 999999999}), 4294967295999999ull);
  EXPECT_EQ(osal::wall_clock_ms({1, 999999}), 1999);
}

TEST(Clock, WallClockMillisecondsFollowTheEpoch) {
  const long long seconds = static_cast<long long>(time(nullptr));
  const int64_t ms = osal_get_time_ms();
  EXPECT_GE(ms, (seconds - 2) * 1000);
  EXPECT_LE(ms, (seconds + 2) * 1000);
}

TEST(Delay, SplitIntoSecondsAndNanoseconds) {
  struct Case {
    timespec (*split)(uint32_t);
    uint32_t count;
    time_t seconds;
    long nanos;
  };
  const Case cases[] = {
      {osal::split_ms, 1500, 1, 500000000},
      {osal::split_ms, 999, 0, 999000000},
      {osal::split_ms, UINT32_MAX, 4294967, 295000000},
      {osal::split_us, 999999, 0, 999999000},
      {osal::split_us, 1000000, 1, 0},
      {osal::split_us, UINT32_MAX, 4294, 967295000},
      {osal::split_ns, 999999999, 0, 999999999},
      {osal::split_ns, UINT32_MAX, 4, 294967295},
  };
  for (const Case &c : cases) {
    const timespec request = c.split(c.count);
    EXPECT_EQ(request.tv_sec, c.seconds) << c.count;
    EXPECT_EQ(request.tv_nsec, c.nanos) << c.count;
  }
}

// Each wait lasts at least its time, by the steady clock and by the
// library's own microseconds, which leave the fallback counter alone. (The
// sleeping waits of every unit are timed under signals elsewhere.)
TEST(Delay, WaitsLastAtLeastTheirTime) {
  struct Wait {
    void (*wait)();
    long long min_us;
  };
  const Wait waits[] = {
      {[] { osal_ms_delay(1); }, 1000},
      {[] { EXPECT_EQ(osal_task_delay(5), 0); }, 5000},
      // Both of the busy wait's readings are cut to whole microseconds, so
      // the true time may fall short by less than one.
      {[] { osal_udelay(2000); }, 1999},
  };
  const uint64_t fallback = g_ui_usec_for_fail;
  for (const Wait &w : waits) {
    const auto start = std::chrono::steady_clock::now();
    const uint64_t first = hdk_time_usecs();
    w.wait();
    const uint64_t second = hdk_time_usecs();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count(), w.min_us);
    EXPECT_GE(second - first, static_cast<uint64_t>(w.min_us));
  }
  EXPECT_EQ(g_ui_usec_for_fail, fallback);
}

std::array<int, 6> fields(const osal_date_time &d) {
  return {d.year, d.month, d.day, d.hour, d.minute, d.second};
}

TEST(DateTime, FieldsComeFromTheBrokenDownTime) {
  // A cleared record, as a failed conversion leaves it.
  EXPECT_EQ(fields(osal::date_time_of(tm{})), (std::array<int, 6>{1900, 1, 0, 0, 0, 0}));
  struct tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 4;
  t.tm_hour = 1;
  t.tm_min = 33;
  t.tm_sec = 0x106;  // each byte keeps the low 8 bits
  EXPECT_EQ(fields(osal::date_time_of(t)), (std::array<int, 6>{2026, 12, 4, 1, 33, 6}));
}

TEST(DateTime, WritesSevenBytesOfTheCurrentLocalTime) {
  unsigned char raw[sizeof(osal_date_time) + 4];
  std::memset(raw, 0xEE, sizeof raw);
  struct tm before{};
  struct tm after{};
  time_t now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &before), &before);
  EXPECT_EQ(osal_sys_time_get(reinterpret_cast<osal_date_time *>(raw)), 0);
  now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &after), &after);
  for (size_t i = 7; i < sizeof raw; ++i) {
    EXPECT_EQ(raw[i], 0xEE) << "byte " << i;
  }
  const auto matches = [&](const struct tm &t) {
    const osal_date_time want = osal::date_time_of(t);
    return std::memcmp(raw, &want, 7) == 0;
  };
  EXPECT_TRUE(matches(before) || matches(after));
  EXPECT_EQ(osal_sys_time_get(nullptr), 0);
}

TEST(StackTrace, ProducesSymbolsForAtMostTenFrames) {
  EXPECT_EQ(osal_stack_trace(50), 0);
  EXPECT_EQ(osal_stack_trace(1), 0);
}

}  // namespace
