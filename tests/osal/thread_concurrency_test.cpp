// Threads through start records: the entry and its argument, the record's
// accounting under module 0, and a failing thread creation.
#include <chip_util/osal.h>

#include <pthread.h>

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>

#include "seam_guard.hpp"

namespace {

osal_malloc_counters module0() { return g_osal_malloc_data[0]; }

pthread_t as_pthread(osal_thread_id id) { return std::bit_cast<pthread_t>(id); }

struct Report {
  int arg_value = 0;
  osal_thread_id self = 0;
  const char *name = nullptr;
};

void *record_what_ran(void *arg) {
  auto *report = static_cast<Report *>(arg);
  report->arg_value = 42;
  report->self = osal_thread_self();
  report->name = osal_thread_name();
  return nullptr;
}

TEST(Thread, RunsTheEntryWithItsArgumentAndReleasesTheRecord) {
  const osal_malloc_counters before = module0();
  Report report;
  const osal_thread_id id = osal_thread_create(1, 2, 3, record_what_ran, &report);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(pthread_join(as_pthread(id), nullptr), 0);
  EXPECT_EQ(report.arg_value, 42);
  EXPECT_EQ(report.self, id);
  EXPECT_STREQ(report.name, " ");
  EXPECT_EQ(report.name, osal_thread_name());  // one constant for every thread
  EXPECT_NE(osal_thread_self(), id);
  EXPECT_EQ(module0().malloc_count, before.malloc_count + 1);
  EXPECT_EQ(module0().free_count, before.free_count + 1);
  EXPECT_EQ(module0().malloc_size, before.malloc_size);
}

TEST(Thread, NullEntryStillStartsAndReleases) {
  const osal_malloc_counters before = module0();
  const osal_thread_id id = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(pthread_join(as_pthread(id), nullptr), 0);
  EXPECT_EQ(module0().malloc_count, before.malloc_count + 1);
  EXPECT_EQ(module0().free_count, before.free_count + 1);
  EXPECT_EQ(osal_th_start_routine(nullptr), nullptr);
}

int refuse_thread(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *) { return EAGAIN; }

TEST(Thread, FailedCreationReleasesTheRecordVerified) {
  const osal_test::SeamGuard<osal::seam::PthreadCreate> refusing(osal::seam::pthread_create_call,
                                                                 &refuse_thread);
  const osal_malloc_counters before = module0();
  EXPECT_EQ(osal_thread_create(0, 0, 0, record_what_ran, nullptr), 0u);
  EXPECT_EQ(module0().malloc_count, before.malloc_count + 1);
  EXPECT_EQ(module0().free_count, before.free_count + 1);
  EXPECT_EQ(module0().free_error_count, before.free_error_count);
  EXPECT_EQ(module0().malloc_size, before.malloc_size);
}

// Semaphores the detached thread uses: they outlive it, since nobody can
// tell when a detached thread has finished with them.
sem_t g_gate;
sem_t g_done;

void *wait_and_report(void *) {
  sem_wait(&g_gate);
  sem_post(&g_done);
  return nullptr;
}

TEST(Thread, DetachAndCancelPassThrough) {
  ASSERT_EQ(sem_init(&g_gate, 0, 0), 0);
  ASSERT_EQ(sem_init(&g_done, 0, 0), 0);
  const osal_thread_id id = osal_thread_create(0, 0, 0, wait_and_report, nullptr);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(osal_thread_detach(id), 0);
  sem_post(&g_gate);
  EXPECT_EQ(hdk_sem_take_timeout(&g_done, UINT32_MAX), 0);

  // A thread without an entry meets no cancellation point: it runs to its
  // end, releasing its record, whether or not the request came first.
  const osal_thread_id plain = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(plain, 0u);
  EXPECT_EQ(osal_thread_destroy(plain), 0);
  EXPECT_EQ(pthread_join(as_pthread(plain), nullptr), 0);
}

}  // namespace
