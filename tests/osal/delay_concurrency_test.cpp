// Sleeping waits run their full time while signals keep interrupting them.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

#include "signal_pester.hpp"

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

struct WaitCase {
  const char *name;
  void (*wait)(uint32_t);
  uint32_t amount;
};

// Printed in test names and failure reports (the default would dump the
// object's bytes, padding and pointers included).
void PrintTo(const WaitCase &c, std::ostream *out) { *out << c.name << '(' << c.amount << ')'; }

class SignalledWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(SignalledWait, RunsItsFullTime) {
  const WaitCase c = GetParam();
  const int seen_before = osal_test::g_signals_seen.load();
  const auto start = steady_clock::now();
  {
    osal_test::SignalPester pester(10ms);
    c.wait(c.amount);
    pester.stop();
  }
  const auto elapsed = steady_clock::now() - start;
  // Resumed sleeps add up to the request; the slack only absorbs rounding
  // of the kernel's remainders. A sleep cut short ends after one period.
  EXPECT_GE(elapsed, 295ms) << c.name;
  EXPECT_LT(elapsed, 10s) << c.name;
  // The wait was really interrupted, more than once.
  EXPECT_GE(osal_test::g_signals_seen.load() - seen_before, 2) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Units, SignalledWait,
                         ::testing::Values(WaitCase{"ms", osal_ms_delay, 300},
                                           WaitCase{"us", osal_usleep, 300000},
                                           WaitCase{"ns", osal_ns_delay, 300000000}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
