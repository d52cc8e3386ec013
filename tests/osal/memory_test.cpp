// Counted heap blocks: header bytes, counters, verified and refused
// releases, and a randomized run against a model of the counters.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "osal/block_header.hpp"

// The exported records keep the layout that drivers compile against.
static_assert(sizeof(osal_malloc_counters) == 16);
static_assert(sizeof g_osal_malloc_data == 10 * 16);
static_assert(offsetof(osal_malloc_counters, free_error_count) == 12);
static_assert(sizeof(osal_hook_funcs) == 2 * sizeof(void *));
static_assert(offsetof(hdk_named_sem, sem) == 32);
static_assert(sizeof(osal_thread_start_info) == 2 * sizeof(void *));
static_assert(offsetof(osal_date_time, second) == 6);

namespace {

using Table = std::array<osal_malloc_counters, OSAL_MODULE_COUNT>;

Table snapshot() {
  Table t;
  std::memcpy(t.data(), g_osal_malloc_data, sizeof g_osal_malloc_data);
  return t;
}

bool same(const osal_malloc_counters &a, const osal_malloc_counters &b) {
  return a.malloc_size == b.malloc_size && a.malloc_count == b.malloc_count &&
         a.free_count == b.free_count && a.free_error_count == b.free_error_count;
}

void expect_unchanged(const Table &before) {
  const Table now = snapshot();
  for (uint32_t m = 0; m < OSAL_MODULE_COUNT; ++m) {
    EXPECT_TRUE(same(before[m], now[m])) << "module " << m;
  }
}

osal::BlockHeader header_before(const void *area) {
  osal::BlockHeader h;
  std::memcpy(&h, static_cast<const unsigned char *>(area) - sizeof h, sizeof h);
  return h;
}

TEST(MemoryAccounting, AllocationWritesTagAndSizeAndCounts) {
  const Table before = snapshot();
  void *area = osal_malloc_sdk(2, 100);
  ASSERT_NE(area, nullptr);
  const osal::BlockHeader h = header_before(area);
  EXPECT_EQ(h.tag, 0x02AAAAAAu);
  EXPECT_EQ(h.size, 100u);
  EXPECT_EQ(g_osal_malloc_data[2].malloc_size, before[2].malloc_size + 100);
  EXPECT_EQ(g_osal_malloc_data[2].malloc_count, before[2].malloc_count + 1);

  osal_free_sdk(2, area);
  EXPECT_EQ(g_osal_malloc_data[2].malloc_size, before[2].malloc_size);
  EXPECT_EQ(g_osal_malloc_data[2].free_count, before[2].free_count + 1);
  EXPECT_EQ(g_osal_malloc_data[2].free_error_count, before[2].free_error_count);
}

// The header of a block whose memory stays readable after the release: a
// buffer of our own laid out like a counted block.
struct FakeBlock {
  alignas(8) unsigned char bytes[16] = {};
  explicit FakeBlock(osal::BlockHeader h) { std::memcpy(bytes, &h, sizeof h); }
  osal::BlockHeader header() const {
    osal::BlockHeader h;
    std::memcpy(&h, bytes, sizeof h);
    return h;
  }
};

TEST(MemoryAccounting, VerifiedReleaseClearsBothHeaderWords) {
  FakeBlock block({OSAL_BLOCK_TAG(6), 12});
  osal_malloc_counters entry{12, 1, 0, 0};
  EXPECT_EQ(osal::settle_release(block.bytes, 6, entry), osal::Release::kVerified);
  EXPECT_EQ(block.header().tag, 0u);
  EXPECT_EQ(block.header().size, 0u);
  EXPECT_TRUE(same(entry, {0, 1, 1, 0}));
}

struct RefusalCase {
  osal::BlockHeader header;
  uint32_t module;
  uint32_t held;
  osal::Release verdict;
};

class RefusedRelease : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedRelease, CountsAnErrorAndLeavesTheHeader) {
  const RefusalCase c = GetParam();
  FakeBlock block(c.header);
  osal_malloc_counters entry{c.held, 3, 2, 1};
  EXPECT_EQ(osal::settle_release(block.bytes, c.module, entry), c.verdict);
  EXPECT_EQ(block.header().tag, c.header.tag);
  EXPECT_EQ(block.header().size, c.header.size);
  EXPECT_TRUE(same(entry, {c.held, 3, 2, 2}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRelease,
    ::testing::Values(
        // The tag is intact: a size above the count, or the wrong module.
        RefusalCase{{OSAL_BLOCK_TAG(4), 17}, 4, 16, osal::Release::kRefusedFree},
        RefusalCase{{OSAL_BLOCK_TAG(4), 16}, 5, 16, osal::Release::kRefusedFree},
        RefusalCase{{OSAL_BLOCK_TAG(4), 0}, 0, 0, osal::Release::kRefusedFree},
        // No tag: damaged, absent, or cleared by an earlier release.
        RefusalCase{{0x04AAAAABu, 16}, 4, 16, osal::Release::kRefusedKeep},
        RefusalCase{{0x00555555u, 0}, 0, 0, osal::Release::kRefusedKeep},
        RefusalCase{{0, 0}, 0, 0, osal::Release::kRefusedKeep}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(MemoryAccounting, WrongModuleCountsAnErrorInTheCallersEntryAndStillFrees) {
  const Table before = snapshot();
  void *area = osal_malloc_sdk(2, 100);
  ASSERT_NE(area, nullptr);
  osal_free_sdk(3, area);  // the block goes back to the heap: LSan would see a leak
  const Table now = snapshot();
  EXPECT_EQ(now[3].free_error_count, before[3].free_error_count + 1);
  EXPECT_EQ(now[2].malloc_size, before[2].malloc_size + 100);
  EXPECT_EQ(now[2].free_count, before[2].free_count);
  EXPECT_EQ(now[2].free_error_count, before[2].free_error_count);
  EXPECT_EQ(now[3].free_count, before[3].free_count);
}

TEST(MemoryAccounting, ASizeAboveTheModulesCountIsRefused) {
  // Module 7 holds 10 bytes; a block claiming 11 cannot be genuine.
  void *area = osal_malloc_sdk(7, 10);
  ASSERT_NE(area, nullptr);
  const osal::BlockHeader genuine = header_before(area);
  osal::BlockHeader forged{genuine.tag, g_osal_malloc_data[7].malloc_size + 1};
  std::memcpy(static_cast<unsigned char *>(area) - sizeof forged, &forged, sizeof forged);
  const Table before = snapshot();
  osal_free_sdk(7, area);
  const Table now = snapshot();
  EXPECT_EQ(now[7].free_error_count, before[7].free_error_count + 1);
  EXPECT_EQ(now[7].malloc_size, before[7].malloc_size);
  EXPECT_EQ(now[7].free_count, before[7].free_count);
}

TEST(MemoryAccounting, UntaggedPointerIsCountedButNeverHandedToTheHeap) {
  // A pointer into our own stack buffer: freeing it would crash or trip
  // the sanitizer, so the test passing shows it was kept.
  alignas(8) unsigned char buffer[32] = {};
  const Table before = snapshot();
  osal_free_sdk(5, buffer + 8);
  const Table now = snapshot();
  EXPECT_EQ(now[5].free_error_count, before[5].free_error_count + 1);
  for (unsigned char byte : buffer) {
    EXPECT_EQ(byte, 0);
  }
}

TEST(MemoryAccounting, RefusedRequestsCountNothing) {
  const Table before = snapshot();
  EXPECT_EQ(osal_malloc_sdk(1, 0), nullptr);
  EXPECT_EQ(osal_malloc_zero_sdk(1, 0), nullptr);
  EXPECT_EQ(osal_malloc_sdk(OSAL_MODULE_COUNT, 16), nullptr);
  EXPECT_EQ(osal_malloc_sdk(UINT32_MAX, 16), nullptr);
  for (uint32_t size : {UINT32_MAX, UINT32_MAX - 7}) {
    EXPECT_EQ(osal_malloc_sdk(1, size), nullptr) << size;
  }
  osal_free_sdk(1, nullptr);
  alignas(8) unsigned char buffer[16] = {};
  osal_free_sdk(OSAL_MODULE_COUNT, buffer + 8);  // outside the table: ignored
  osal_memory_handle_init();
  osal_register_malloc([](uint32_t, uint32_t) -> void * { return nullptr; });
  osal_register_free([](uint32_t, void *) {});
  EXPECT_NE(g_osal_hook_funcs.malloc_hook, nullptr);
  EXPECT_NE(g_osal_hook_funcs.free_hook, nullptr);
  void *area = osal_malloc_sdk(1, 8);  // the hooks are kept, never called
  EXPECT_NE(area, nullptr);
  osal_free_sdk(1, area);
  osal_register_malloc(nullptr);
  osal_register_free(nullptr);
  Table expected = before;
  expected[1].malloc_count += 1;
  expected[1].free_count += 1;
  const Table now = snapshot();
  for (uint32_t m = 0; m < OSAL_MODULE_COUNT; ++m) {
    EXPECT_TRUE(same(expected[m], now[m])) << "module " << m;
  }
}

TEST(MemoryAccounting, SizeLimitAtTheHeaderBoundary) {
  EXPECT_TRUE(osal::size_fits_header(UINT32_MAX - 8));
  EXPECT_FALSE(osal::size_fits_header(UINT32_MAX - 7));
}

TEST(MemoryAccounting, ZeroAllocationClearsTheArea) {
  const Table before = snapshot();
  void *dirty = osal_malloc_sdk(0, 24);
  ASSERT_NE(dirty, nullptr);
  std::memset(dirty, 0xA5, 24);
  osal_free_sdk(0, dirty);
  auto *area = static_cast<unsigned char *>(osal_malloc_zero_sdk(0, 24));
  ASSERT_NE(area, nullptr);
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(area[i], 0) << i;
  }
  EXPECT_EQ(g_osal_malloc_data[0].malloc_size, before[0].malloc_size + 24);
  EXPECT_EQ(g_osal_malloc_data[0].malloc_count, before[0].malloc_count + 2);
  osal_free_sdk(0, area);
  expect_unchanged([&] {
    Table t = before;
    t[0].malloc_count += 2;
    t[0].free_count += 2;
    return t;
  }());
}

// Random allocations and releases, some under the wrong module number,
// against a model of what each entry must show.
TEST(MemoryAccounting, RandomRunMatchesTheModel) {
  std::mt19937 rng(20261206);
  Table model = snapshot();
  struct Live {
    void *area;
    uint32_t module;
    uint32_t size;
  };
  std::vector<Live> live;
  for (int step = 0; step < 4000; ++step) {
    const bool allocate = live.empty() || rng() % 2 == 0;
    if (allocate) {
      const uint32_t module = rng() % 12;  // 10 and 11 lie outside the table
      const uint32_t size = rng() % 64;
      void *area = osal_malloc_sdk(module, size);
      const bool expected = size != 0 && module < OSAL_MODULE_COUNT;
      ASSERT_EQ(area != nullptr, expected) << module << " " << size;
      if (area != nullptr) {
        model[module].malloc_size += size;
        model[module].malloc_count += 1;
        live.push_back({area, module, size});
      }
    } else {
      const size_t index = rng() % live.size();
      const Live block = live[index];
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
      const uint32_t module =
          rng() % 4 == 0 ? (block.module + 1) % OSAL_MODULE_COUNT : block.module;
      osal_free_sdk(module, block.area);
      if (module == block.module && model[module].malloc_size >= block.size) {
        model[module].malloc_size -= block.size;
        model[module].free_count += 1;
      } else {
        model[module].free_error_count += 1;
      }
    }
    const Table now = snapshot();
    for (uint32_t m = 0; m < OSAL_MODULE_COUNT; ++m) {
      ASSERT_TRUE(same(model[m], now[m])) << "step " << step << " module " << m;
    }
  }
  for (const Live &block : live) {
    osal_free_sdk(block.module, block.area);
  }
}

}  // namespace
