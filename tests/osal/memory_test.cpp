// Counted heap blocks: the release check on a header of our own, and a
// randomized run of the public calls against a model of the counters.
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <random>
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

osal::BlockHeader header_at(const unsigned char *bytes) {
  osal::BlockHeader h;
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

// A verified release takes the size off and clears both header words; a
// refused one counts an error and leaves the header alone.
TEST(MemoryAccounting, SettleReleasePerVerdict) {
  using osal::Release;
  struct Case {
    osal::BlockHeader header;
    uint32_t module;
    uint32_t held;
    Release verdict;
  };
  const Case cases[] = {
      {{OSAL_BLOCK_TAG(6), 12}, 6, 12, Release::kVerified},
      // The tag is intact: a size above the count, or the wrong module.
      {{OSAL_BLOCK_TAG(4), 17}, 4, 16, Release::kRefusedFree},
      {{OSAL_BLOCK_TAG(4), 16}, 5, 16, Release::kRefusedFree},
      {{OSAL_BLOCK_TAG(4), 0}, 0, 0, Release::kRefusedFree},
      // No tag: damaged, absent, or cleared by an earlier release.
      {{0x04AAAAABu, 16}, 4, 16, Release::kRefusedKeep},
      {{0x00555555u, 0}, 0, 0, Release::kRefusedKeep},
      {{0, 0}, 0, 0, Release::kRefusedKeep},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.header.tag << " size " << c.header.size);
    unsigned char bytes[sizeof c.header];
    std::memcpy(bytes, &c.header, sizeof bytes);
    osal_malloc_counters entry{c.held, 3, 2, 1};
    EXPECT_EQ(osal::settle_release(bytes, c.module, entry), c.verdict);
    const bool verified = c.verdict == Release::kVerified;
    const osal::BlockHeader after = header_at(bytes);
    EXPECT_EQ(after.tag, verified ? 0u : c.header.tag);
    EXPECT_EQ(after.size, verified ? 0u : c.header.size);
    const osal_malloc_counters want = verified
                                          ? osal_malloc_counters{c.held - c.header.size, 3, 3, 1}
                                          : osal_malloc_counters{c.held, 3, 2, 2};
    EXPECT_EQ(std::memcmp(&entry, &want, sizeof want), 0);
  }
}

TEST(MemoryAccounting, SizeLimitAtTheHeaderBoundary) {
  EXPECT_TRUE(osal::size_fits_header(UINT32_MAX - 8));
  EXPECT_FALSE(osal::size_fits_header(UINT32_MAX - 7));
}

TEST(MemoryAccounting, HooksAreKeptButNeverCalled) {
  osal_memory_handle_init();
  osal_register_malloc([](uint32_t, uint32_t) -> void * { std::abort(); });
  osal_register_free([](uint32_t, void *) { std::abort(); });
  EXPECT_NE(g_osal_hook_funcs.malloc_hook, nullptr);
  EXPECT_NE(g_osal_hook_funcs.free_hook, nullptr);
  osal_free_sdk(1, osal_malloc_sdk(1, 8));
}

// Random allocations (plain and zeroed, some refused) and releases: of live
// blocks under their own or the wrong module, of untagged memory, of null.
// Every area is dirtied once checked, so reused memory is not zero by luck.
TEST(MemoryAccounting, RandomRunMatchesTheModel) {
  std::mt19937 rng(20261206);
  Table model;
  std::memcpy(model.data(), g_osal_malloc_data, sizeof model);
  struct Live {
    void *area;
    uint32_t module;
    uint32_t size;
  };
  std::vector<Live> live;
  alignas(8) unsigned char untagged[16] = {};
  for (int step = 0; step < 4000; ++step) {
    const uint32_t module = rng() % 12;  // 10 and 11 lie outside the table
    const unsigned action = rng() % 8;
    if (action < 4 || live.empty()) {
      const bool zero = action % 2 == 0;
      const uint32_t size = rng() % 50 == 0 ? UINT32_MAX - 7 * (rng() % 2) : rng() % 64;
      auto *area = static_cast<unsigned char *>(zero ? osal_malloc_zero_sdk(module, size)
                                                     : osal_malloc_sdk(module, size));
      const bool expected = size != 0 && size < 64 && module < OSAL_MODULE_COUNT;
      ASSERT_EQ(area != nullptr, expected) << module << " " << size;
      if (area != nullptr) {
        const osal::BlockHeader h = header_at(area - sizeof h);
        EXPECT_EQ(h.tag, (module << 24) | 0xAAAAAAu);
        EXPECT_EQ(h.size, size);
        for (uint32_t i = 0; zero && i < size; ++i) {
          ASSERT_EQ(area[i], 0) << "byte " << i << " of " << size;
        }
        std::memset(area, 0xA5, size);
        model[module].malloc_size += size;
        model[module].malloc_count += 1;
        live.push_back({area, module, size});
      }
    } else if (action < 7) {
      const size_t index = rng() % live.size();
      const Live block = live[index];
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
      // Under the wrong module the error is the caller's, and the block is
      // freed all the same (LSan would report it otherwise).
      const uint32_t caller = action == 6 ? (block.module + 1) % OSAL_MODULE_COUNT : block.module;
      osal_free_sdk(caller, block.area);
      if (caller == block.module) {
        model[caller].malloc_size -= block.size;
        model[caller].free_count += 1;
      } else {
        model[caller].free_error_count += 1;
      }
    } else {
      // Handing our own buffer to the heap would crash or trip the sanitizer.
      const bool null = rng() % 2 == 0;
      osal_free_sdk(module, null ? nullptr : untagged + 8);
      if (!null && module < OSAL_MODULE_COUNT) {
        model[module].free_error_count += 1;
      }
    }
    ASSERT_EQ(std::memcmp(model.data(), g_osal_malloc_data, sizeof model), 0) << "step " << step;
  }
  for (const Live &block : live) {
    osal_free_sdk(block.module, block.area);
  }
  EXPECT_EQ(header_at(untagged).tag, 0u);
}

}  // namespace
