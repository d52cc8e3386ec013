// Sleeping waits run their full time while signals keep interrupting them.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

#include "signal_pester.hpp"

namespace {

using namespace std::chrono_literals;

TEST(SignalledWait, RunsItsFullTime) {
  struct Wait {
    void (*wait)(uint32_t);
    uint32_t amount;  // 300 ms in the wait's unit
  };
  for (const Wait w :
       {Wait{osal_ms_delay, 300}, Wait{osal_usleep, 300000}, Wait{osal_ns_delay, 300000000}}) {
    const int seen_before = osal_test::g_signals_seen.load();
    const auto start = std::chrono::steady_clock::now();
    {
      osal_test::SignalPester pester(10ms);
      w.wait(w.amount);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Resumed sleeps add up to the request; the slack only absorbs rounding
    // of the kernel's remainders. A sleep cut short ends after one period.
    EXPECT_GE(elapsed, 295ms) << w.amount;
    EXPECT_LT(elapsed, 10s) << w.amount;
    // The wait was really interrupted, more than once.
    EXPECT_GE(osal_test::g_signals_seen.load() - seen_before, 2) << w.amount;
  }
}

}  // namespace
