// The int lock: its accounting under module 0, exclusion between threads,
// and the recursive-mutex variant.
#include <chip_util/osal.h>

#include <pthread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

osal_malloc_counters module0() { return g_osal_malloc_data[0]; }

void join(osal_thread_id id) { ASSERT_EQ(pthread_join(std::bit_cast<pthread_t>(id), nullptr), 0); }

TEST(IntLock, LifecycleIsCountedUnderModuleZero) {
  const osal_malloc_counters before = module0();
  void *slot = nullptr;
  ASSERT_EQ(osal_int_lock_init(&slot), 0);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(module0().malloc_count, before.malloc_count + 1);
  EXPECT_EQ(module0().malloc_size, before.malloc_size + sizeof(sem_t));
  EXPECT_EQ(osal_int_lock(&slot), slot);
  osal_int_unlock(&slot);
  EXPECT_EQ(osal_int_lock(&slot), slot);  // free again after the unlock
  osal_int_unlock(&slot);
  EXPECT_EQ(osal_int_lock_destroy(&slot), 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(module0().free_count, before.free_count + 1);
  EXPECT_EQ(module0().malloc_size, before.malloc_size);
  EXPECT_EQ(module0().free_error_count, before.free_error_count);
}

TEST(IntLock, NullSlotAddressIsRefused) {
  EXPECT_EQ(osal_int_lock_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_no_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock(nullptr), nullptr);
  osal_int_unlock(nullptr);
  EXPECT_EQ(osal_int_lock_destroy(nullptr), -1);
}

TEST(IntLock, SecondThreadWaitsUntilUnlock) {
  void *slot = nullptr;
  ASSERT_EQ(osal_int_lock_no_mutex_init(&slot), 0);
  ASSERT_EQ(osal_int_lock(&slot), slot);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    void *held = osal_int_lock(&slot);
    entered.store(held == slot);
    osal_int_unlock(&slot);
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(entered.load());
  osal_int_unlock(&slot);
  other.join();
  EXPECT_TRUE(entered.load());
  EXPECT_EQ(osal_int_lock_destroy(&slot), 0);
}

struct Shared {
  void *lock = nullptr;
  long counter = 0;  // plain: the lock alone keeps the increments apart
};

void *add_many(void *arg) {
  auto *shared = static_cast<Shared *>(arg);
  for (int i = 0; i < 20000; ++i) {
    osal_int_lock(&shared->lock);
    const long seen = shared->counter;
    shared->counter = seen + 1;
    osal_int_unlock(&shared->lock);
  }
  return nullptr;
}

TEST(IntLock, KeepsTwoThreadsApart) {
  Shared shared;
  ASSERT_EQ(osal_int_lock_init(&shared.lock), 0);
  const osal_thread_id a = osal_thread_create(0, 0, 0, add_many, &shared);
  const osal_thread_id b = osal_thread_create(0, 0, 0, add_many, &shared);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  join(a);
  join(b);
  EXPECT_EQ(shared.counter, 40000);
  EXPECT_EQ(osal_int_lock_destroy(&shared.lock), 0);
}

TEST(IntLock, MutexVariantIsRecursive) {
  const osal_malloc_counters before = module0();
  void *slot = reinterpret_cast<void *>(0x1);
  ASSERT_EQ(osal_int_lock_mutex_init(&slot), 0);
  ASSERT_NE(slot, reinterpret_cast<void *>(0x1));
  EXPECT_EQ(module0().malloc_count, before.malloc_count + 1);
  EXPECT_EQ(module0().malloc_size, before.malloc_size + sizeof(pthread_mutex_t));
  auto *mutex = static_cast<pthread_mutex_t *>(slot);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);  // the holder may lock again
  std::thread other([&] { EXPECT_EQ(pthread_mutex_trylock(mutex), EBUSY); });
  other.join();
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_destroy(mutex), 0);
  osal_free_sdk(0, slot);
  EXPECT_EQ(module0().free_count, before.free_count + 1);
}

}  // namespace
