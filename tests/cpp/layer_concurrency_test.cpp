// SPDX-License-Identifier: Apache-2.0
// The C++ OS types under ThreadSanitizer too: the int lock through
// std::lock_guard across chip::threads, a named semaphore's chrono timeout,
// and the duration conversions.
#include <chip_util/chip_util.hpp>

#include <gtest/gtest.h>

#include <mutex>

namespace {

// The int lock serialises chip::threads through std::lock_guard; a named
// semaphore times out on std::chrono and is unlinked by its destructor.
TEST(CppLayer, LocksSemaphoresThreads) {
  chip::int_lock lock;
  ASSERT_TRUE(lock.ok());
  uint32_t counter = 0;
  const auto body = [&] {
    for (int i = 0; i < 20000; ++i) {
      const std::lock_guard<chip::int_lock> guard(lock);
      ++counter;
    }
  };
  {
    chip::thread first(body);
    chip::thread second(body);
    EXPECT_TRUE(first.ok() && second.ok());
  }
  EXPECT_EQ(counter, 40000u);
  sem_unlink("/chip_cpp_layer_test");  // a leftover of an interrupted run
  {
    chip::named_semaphore sem("/chip_cpp_layer_test", 0);
    ASSERT_TRUE(sem.ok());
    const uint64_t start = hdk_time_usecs();
    EXPECT_EQ(sem.take_for(std::chrono::milliseconds(2)).error(), chip::errc::timeout);
    EXPECT_GE(hdk_time_usecs() - start, 2000u);
    EXPECT_TRUE(sem.give().ok());
    EXPECT_TRUE(sem.take_for(std::chrono::seconds(1)).ok());
  }
  EXPECT_EQ(sem_unlink("/chip_cpp_layer_test"), -1) << "the destructor unlinked it";
  const chip::named_semaphore too_long("/a-name-longer-than-thirty-one-characters", 0);
  EXPECT_FALSE(too_long.ok());
  EXPECT_EQ(chip::detail::to_us(std::chrono::nanoseconds(1)), 1u);
  EXPECT_EQ(chip::detail::to_us(std::chrono::milliseconds(-5)), 0u);
  EXPECT_EQ(chip::detail::to_us(std::chrono::hours(2)), UINT32_MAX);
  const uint64_t before = hdk_time_usecs();
  chip::sleep_for(std::chrono::microseconds(1500));
  EXPECT_GE(hdk_time_usecs() - before, 1500u);
}

}  // namespace
