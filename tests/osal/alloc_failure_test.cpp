// What each call of the layer leaves behind when the heap refuses: counted
// blocks count nothing, lock slots keep or clear their contents as
// documented, a thread whose start record cannot be allocated is never
// started, and a stack trace whose names cannot be produced fails.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include "support/alloc_counter.hpp"

namespace {

using chip_test::AllocFailure;

bool same(const osal_malloc_counters &a, const osal_malloc_counters &b) {
  return a.malloc_size == b.malloc_size && a.malloc_count == b.malloc_count &&
         a.free_count == b.free_count && a.free_error_count == b.free_error_count;
}

TEST(HeapRefusal, CountedBlocksCountNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const osal_malloc_counters before = g_osal_malloc_data[4];
  {
    AllocFailure failing(2);
    EXPECT_EQ(osal_malloc_sdk(4, 16), nullptr);
    EXPECT_EQ(osal_malloc_zero_sdk(4, 16), nullptr);
    EXPECT_EQ(failing.remaining(), 0u);
  }
  EXPECT_TRUE(same(g_osal_malloc_data[4], before));
  // The heap is back: the next block is counted as usual.
  void *area = osal_malloc_sdk(4, 16);
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(g_osal_malloc_data[4].malloc_count, before.malloc_count + 1);
  osal_free_sdk(4, area);
  EXPECT_TRUE(same(g_osal_malloc_data[4],
                   {before.malloc_size, before.malloc_count + 1, before.free_count + 1,
                    before.free_error_count}));
}

TEST(HeapRefusal, SemaphoreLockLeavesTheSlotUntouched) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  int marker = 0;
  void *slot = &marker;
  const osal_malloc_counters before = g_osal_malloc_data[0];
  {
    AllocFailure failing;
    EXPECT_EQ(osal_int_lock_no_mutex_init(&slot), -1);
  }
  EXPECT_EQ(slot, &marker);
  {
    AllocFailure failing;
    EXPECT_EQ(osal_int_lock_init(&slot), -1);
  }
  EXPECT_EQ(slot, &marker);
  EXPECT_TRUE(same(g_osal_malloc_data[0], before));
}

TEST(HeapRefusal, MutexLockClearsTheSlot) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  int marker = 0;
  void *slot = &marker;
  const osal_malloc_counters before = g_osal_malloc_data[0];
  {
    AllocFailure failing;
    EXPECT_EQ(osal_int_lock_mutex_init(&slot), -1);
  }
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(same(g_osal_malloc_data[0], before));
}

int g_entries_run = 0;

void *count_entry(void *) {
  ++g_entries_run;
  return nullptr;
}

TEST(HeapRefusal, ThreadWithoutAStartRecordIsNotStarted) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const osal_malloc_counters before = g_osal_malloc_data[0];
  {
    AllocFailure failing;
    EXPECT_EQ(osal_thread_create(0, 0, 0, count_entry, nullptr), 0u);
  }
  EXPECT_TRUE(same(g_osal_malloc_data[0], before));
  EXPECT_EQ(g_entries_run, 0);
}

TEST(HeapRefusal, StackTraceWithoutNamesFails) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  // A first trace loads what backtrace needs; then the names' block is the
  // one allocation the call makes.
  ASSERT_EQ(osal_stack_trace(10), 0);
  AllocFailure failing;
  EXPECT_EQ(osal_stack_trace(10), -1);
  EXPECT_EQ(failing.remaining(), 0u);
}

}  // namespace
