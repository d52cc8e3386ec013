// Named semaphores between threads and between processes: the timed take
// against a late give, its timeout, the unlimited take across signals, and
// one semaphore shared by a parent and a forked child.
#include <chip_util/osal.h>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sem_names.hpp"
#include "signal_pester.hpp"

namespace {

using namespace std::chrono_literals;

class NamedSemaphoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sem_ = hdk_sem_create(name_.name(), 0, 0);
    ASSERT_NE(sem_, SEM_FAILED);
    ASSERT_NE(sem_, nullptr);
    name_.record().sem = sem_;
  }
  osal_test::ScopedSemName name_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  sem_t *sem_ = nullptr;
};

TEST_F(NamedSemaphoreTest, TimedTakeSucceedsWhenGivenInTime) {
  const uint64_t start = hdk_time_usecs();  // before the giver can start its 20 ms
  std::thread giver([this] {
    std::this_thread::sleep_for(20ms);
    hdk_sem_give(sem_);
  });
  // Half a second is the nominal limit; the margin covers a loaded machine.
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 2000000), 0);
  const uint64_t waited = hdk_time_usecs() - start;
  giver.join();
  EXPECT_GE(waited, 20000u);
  EXPECT_EQ(osal_test::sem_value(sem_), 0);
}

TEST_F(NamedSemaphoreTest, TimedTakeGivesUpAfterTheTimeout) {
  const uint64_t start = hdk_time_usecs();
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 200000), -1);
  const uint64_t waited = hdk_time_usecs() - start;
  EXPECT_GE(waited, 200000u);
  EXPECT_LT(waited, 10000000u);
}

TEST_F(NamedSemaphoreTest, UnlimitedTakeWaitsAcrossSignals) {
  const int seen_before = osal_test::g_signals_seen.load();
  std::thread giver([this] {
    std::this_thread::sleep_for(150ms);
    hdk_sem_give(sem_);
  });
  {
    osal_test::SignalPester pester(10ms);
    EXPECT_EQ(hdk_sem_take_timeout(sem_, UINT32_MAX), 0);
  }
  giver.join();
  EXPECT_GE(osal_test::g_signals_seen.load() - seen_before, 2);
}

TEST_F(NamedSemaphoreTest, SharedWithAForkedProcess) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // The child opens the same name; its value argument has no effect.
    sem_t *same = hdk_sem_create(name_.name(), 0, 5);
    const bool ok = same != SEM_FAILED && hdk_sem_give(same) == 0;
    _exit(ok ? 0 : 1);
  }
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 5000000), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 0), -1);  // one give, one take: 0 again
}

}  // namespace
