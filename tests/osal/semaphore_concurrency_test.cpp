// Named semaphores: creation and refusals, the timed take against a late
// give and its timeout, the unlimited take across signals, and one
// semaphore shared by a parent and a forked child.
#include <chip_util/osal.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "signal_pester.hpp"

namespace {

using namespace std::chrono_literals;

int sem_value(sem_t *sem) {
  int value = -1;
  sem_getvalue(sem, &value);
  return value;
}

// A semaphore under a name unique to the process and the test, unlinked
// again however the test ends.
class NamedSemaphoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // At most 31 characters: the test's name is cut to what fits.
    std::snprintf(record_.name, sizeof record_.name, "/chip_util_%d_%s", static_cast<int>(getpid()),
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    sem_ = record_.sem = hdk_sem_create(record_.name, 0, 0);
    ASSERT_NE(sem_, SEM_FAILED);
  }
  void TearDown() override {
    if (record_.sem != SEM_FAILED) {
      hdk_sem_destroy(&record_);
    }
  }
  hdk_named_sem record_{};
  sem_t *sem_ = nullptr;
};

TEST(NamedSemaphore, NullArgumentsAreRefused) {
  EXPECT_EQ(hdk_sem_create(nullptr, 0, 1), nullptr);
  EXPECT_EQ(hdk_sem_take(nullptr), -1);
  EXPECT_EQ(hdk_sem_give(nullptr), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, 0), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, UINT32_MAX), -1);
  hdk_sem_destroy(nullptr);
}

TEST_F(NamedSemaphoreTest, CreatedWithMode0644AndOpenedUnchangedByName) {
  hdk_sem_destroy(&record_);
  const mode_t saved_mask = umask(0);
  sem_ = record_.sem = hdk_sem_create(record_.name, 0xDEAD, 2);
  umask(saved_mask);
  ASSERT_NE(sem_, SEM_FAILED);
  struct stat info {};
  ASSERT_EQ(stat((std::string("/dev/shm/sem.") + (record_.name + 1)).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  // A second create opens the same semaphore: its value has no effect.
  sem_t *again = hdk_sem_create(record_.name, 0, 9);
  ASSERT_NE(again, SEM_FAILED);
  EXPECT_EQ(sem_value(again), 2);
  EXPECT_EQ(hdk_sem_take(again), 0);
  EXPECT_EQ(sem_value(sem_), 1);
  sem_close(again);
  EXPECT_EQ(hdk_sem_give(sem_), 0);
  EXPECT_EQ(sem_value(sem_), 2);

  hdk_sem_destroy(&record_);
  record_.sem = SEM_FAILED;
  errno = 0;
  EXPECT_EQ(sem_open(record_.name, 0), SEM_FAILED);
  EXPECT_EQ(errno, ENOENT);
}

// The take polls until the give, then gives up after its timeout.
TEST_F(NamedSemaphoreTest, TimedTakeSucceedsWhenGivenInTimeThenTimesOut) {
  uint64_t start = hdk_time_usecs();  // before the giver can start its 20 ms
  std::jthread giver([this] {
    std::this_thread::sleep_for(20ms);
    hdk_sem_give(sem_);
  });
  // Half a second is the nominal limit; the margin covers a loaded machine.
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 2000000), 0);
  EXPECT_GE(hdk_time_usecs() - start, 20000u);
  start = hdk_time_usecs();
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 200000), -1);
  const uint64_t waited = hdk_time_usecs() - start;
  EXPECT_GE(waited, 200000u);
  EXPECT_LT(waited, 10000000u);
}

TEST_F(NamedSemaphoreTest, UnlimitedTakeWaitsAcrossSignals) {
  const int seen_before = osal_test::g_signals_seen.load();
  std::jthread giver([this] {
    std::this_thread::sleep_for(150ms);
    hdk_sem_give(sem_);
  });
  {
    osal_test::SignalPester pester(10ms);
    EXPECT_EQ(hdk_sem_take_timeout(sem_, UINT32_MAX), 0);
  }
  EXPECT_GE(osal_test::g_signals_seen.load() - seen_before, 2);
}

TEST_F(NamedSemaphoreTest, SharedWithAForkedProcess) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    // The child opens the same name; its value argument has no effect.
    sem_t *same = hdk_sem_create(record_.name, 0, 5);
    _exit(same != SEM_FAILED && hdk_sem_give(same) == 0 ? 0 : 1);
  }
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 5000000), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(hdk_sem_take_timeout(sem_, 0), -1);  // one give, one take: 0 again
  EXPECT_EQ(errno, EAGAIN);
}

}  // namespace
