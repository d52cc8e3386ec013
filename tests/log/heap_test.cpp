// Plain heap wrappers.
#include <chip_util/log.h>

#include <gtest/gtest.h>

#include "support/alloc_counter.hpp"

namespace {

TEST(Heap, ZeroSizeGivesNullWithoutTouchingTheHeap) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  const chip_test::AllocCounter counter;
  EXPECT_EQ(hdk_malloc(0), nullptr);
  EXPECT_EQ(hdk_malloc_zero(0), nullptr);
  hdk_free(nullptr);
  EXPECT_EQ(counter.allocations(), 0u);
  EXPECT_EQ(counter.releases(), 0u);
}

TEST(Heap, MallocZeroClearsEveryByte) {
  for (uint32_t size : {1u, 7u, 513u, 4096u}) {
    // Dirty the heap first so that a missing fill would show.
    void *dirty = hdk_malloc(size);
    ASSERT_NE(dirty, nullptr);
    std::fill_n(static_cast<unsigned char *>(dirty), size, 0xA5);
    hdk_free(dirty);
    auto *block = static_cast<unsigned char *>(hdk_malloc_zero(size));
    ASSERT_NE(block, nullptr);
    for (uint32_t i = 0; i < size; ++i) {
      ASSERT_EQ(block[i], 0) << "byte " << i << " of " << size;
    }
    hdk_free(block);
  }
}

}  // namespace
