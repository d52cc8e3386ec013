// Threads through start records (the entry and its argument, the record's
// accounting under module 0, a failing creation) and the int lock (its
// accounting, exclusion between threads, the recursive-mutex variant).
#include <chip_util/osal.h>

#include <pthread.h>

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include "seam_guard.hpp"

namespace {

osal_malloc_counters &module0 = g_osal_malloc_data[0];

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

int refuse_thread(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *) { return EAGAIN; }

// Whether the thread runs its entry, runs none, or never starts, its start
// record is allocated and released once, verified.
TEST(Thread, RunsTheEntryWithItsArgumentAndReleasesTheRecord) {
  const osal_malloc_counters before = module0;
  Report report;
  const osal_thread_id id = osal_thread_create(1, 2, 3, record_what_ran, &report);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(pthread_join(as_pthread(id), nullptr), 0);
  EXPECT_EQ(report.arg_value, 42);
  EXPECT_EQ(report.self, id);
  EXPECT_STREQ(report.name, " ");
  EXPECT_EQ(report.name, osal_thread_name());  // one constant for every thread
  EXPECT_NE(osal_thread_self(), id);

  const osal_thread_id no_entry = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(no_entry, 0u);
  ASSERT_EQ(pthread_join(as_pthread(no_entry), nullptr), 0);
  EXPECT_EQ(osal_th_start_routine(nullptr), nullptr);
  {
    const osal_test::SeamGuard<osal::seam::PthreadCreate> refusing(osal::seam::pthread_create_call,
                                                                   &refuse_thread);
    EXPECT_EQ(osal_thread_create(0, 0, 0, record_what_ran, nullptr), 0u);
  }
  EXPECT_EQ(module0.malloc_count, before.malloc_count + 3);
  EXPECT_EQ(module0.free_count, before.free_count + 3);
  EXPECT_EQ(module0.free_error_count, before.free_error_count);
  EXPECT_EQ(module0.malloc_size, before.malloc_size);
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

TEST(IntLock, NullSlotAddressIsRefused) {
  EXPECT_EQ(osal_int_lock_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_no_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock(nullptr), nullptr);
  osal_int_unlock(nullptr);
  EXPECT_EQ(osal_int_lock_destroy(nullptr), -1);
}

struct Shared {
  void *lock = nullptr;
  long counter = 0;  // plain: the lock alone keeps the increments apart
};

void add_many(Shared &shared) {
  for (int i = 0; i < 20000; ++i) {
    EXPECT_EQ(osal_int_lock(&shared.lock), shared.lock);
    const long seen = shared.counter;
    shared.counter = seen + 1;
    osal_int_unlock(&shared.lock);
  }
}

// Two threads wait while the lock is held, then keep their increments
// apart; the semaphore behind the slot is counted under module 0.
TEST(IntLock, KeepsThreadsApartAndIsCountedUnderModuleZero) {
  const osal_malloc_counters before = module0;
  Shared shared;
  ASSERT_EQ(osal_int_lock_init(&shared.lock), 0);
  EXPECT_EQ(module0.malloc_size, before.malloc_size + sizeof(sem_t));
  ASSERT_EQ(osal_int_lock(&shared.lock), shared.lock);
  std::thread a(add_many, std::ref(shared));
  std::thread b(add_many, std::ref(shared));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(shared.counter, 0);
  osal_int_unlock(&shared.lock);
  a.join();
  b.join();
  EXPECT_EQ(shared.counter, 40000);
  EXPECT_EQ(osal_int_lock_destroy(&shared.lock), 0);
  EXPECT_EQ(shared.lock, nullptr);
  EXPECT_EQ(module0.malloc_size, before.malloc_size);  // released, verified
}

TEST(IntLock, MutexVariantIsRecursive) {
  const osal_malloc_counters before = module0;
  void *slot = reinterpret_cast<void *>(0x1);
  ASSERT_EQ(osal_int_lock_mutex_init(&slot), 0);
  ASSERT_NE(slot, reinterpret_cast<void *>(0x1));
  EXPECT_EQ(module0.malloc_size, before.malloc_size + sizeof(pthread_mutex_t));
  auto *mutex = static_cast<pthread_mutex_t *>(slot);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);  // the holder may lock again
  std::thread([&] { EXPECT_EQ(pthread_mutex_trylock(mutex), EBUSY); }).join();
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_destroy(mutex), 0);
  osal_free_sdk(0, slot);
  EXPECT_EQ(module0.malloc_size, before.malloc_size);
}

}  // namespace
