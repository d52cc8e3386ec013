// Named semaphores on one thread: creation, refusals, and the polling rule
// of the timed take.
#include <chip_util/osal.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "seam_guard.hpp"
#include "sem_names.hpp"

namespace {

TEST(NamedSemaphore, NullArgumentsAreRefused) {
  EXPECT_EQ(hdk_sem_create(nullptr, 0, 1), nullptr);
  EXPECT_EQ(hdk_sem_take(nullptr), -1);
  EXPECT_EQ(hdk_sem_give(nullptr), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, 0), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, UINT32_MAX), -1);
  hdk_sem_destroy(nullptr);
}

TEST(NamedSemaphore, CreatedWithMode0644AndOpenedUnchangedByName) {
  osal_test::ScopedSemName sem_name("mode");
  const mode_t saved_mask = umask(0);
  sem_t *sem = hdk_sem_create(sem_name.name(), 0xDEAD, 2);
  umask(saved_mask);
  ASSERT_NE(sem, SEM_FAILED);
  ASSERT_NE(sem, nullptr);
  sem_name.record().sem = sem;
  struct stat info{};
  const std::string path = std::string("/dev/shm/sem.") + (sem_name.name() + 1);
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  // A second create opens the same semaphore: its value has no effect.
  sem_t *again = hdk_sem_create(sem_name.name(), 0, 9);
  ASSERT_NE(again, SEM_FAILED);
  EXPECT_EQ(osal_test::sem_value(again), 2);
  EXPECT_EQ(hdk_sem_take(again), 0);
  EXPECT_EQ(osal_test::sem_value(sem), 1);
  sem_close(again);
  EXPECT_EQ(hdk_sem_give(sem), 0);
  EXPECT_EQ(osal_test::sem_value(sem), 2);

  hdk_sem_destroy(&sem_name.record());
  sem_name.record().sem = nullptr;
  errno = 0;
  EXPECT_EQ(sem_open(sem_name.name(), 0), SEM_FAILED);
  EXPECT_EQ(errno, ENOENT);
}

TEST(NamedSemaphore, ZeroTimeoutMakesOneAttempt) {
  sem_t sem;
  ASSERT_EQ(sem_init(&sem, 0, 0), 0);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 0), -1);
  EXPECT_EQ(errno, EAGAIN);
  sem_post(&sem);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 0), 0);
  EXPECT_EQ(osal_test::sem_value(&sem), 0);
  sem_destroy(&sem);
}

TEST(NamedSemaphore, TimedTakeOnAFailingClockPollsOncePerMicrosecond) {
  sem_t sem;
  ASSERT_EQ(sem_init(&sem, 0, 0), 0);
  const osal_test::BrokenClock broken;
  uint64_t before = g_ui_usec_for_fail;
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), -1);
  EXPECT_EQ(g_ui_usec_for_fail, before + 6);  // the start and five attempts
  before = g_ui_usec_for_fail;
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 0), -1);
  EXPECT_EQ(g_ui_usec_for_fail, before + 2);
  sem_post(&sem);
  before = g_ui_usec_for_fail;
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), 0);
  EXPECT_EQ(g_ui_usec_for_fail, before + 1);  // taken at the first attempt
  sem_destroy(&sem);
}

}  // namespace
