// Counted heap blocks and log output from threads started through the
// layer. Each thread runs random allocations (plain and zeroed, some
// refused) and releases (of its blocks under their own or the wrong module,
// of untagged memory, of null, outside the table), checks the counters
// against a model after every step, and prints a line through hdk_debug at
// every step. The counters are updated without a lock and may lose updates
// when threads share a module, so each thread owns two modules of its own;
// the threads' start records all share module 0, which is not checked here.
// The print function is safe to call from any thread: every printed line
// must arrive exactly once, whole and unchanged, and no filtered one.
#include <chip_util/log.h>
#include <chip_util/osal.h>

#include <pthread.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kThreads = 4;
constexpr int kSteps = 4000;

struct Job {
  uint32_t modules[2];
  osal_thread_id self = 0;
  const char *name = nullptr;
};

struct Live {
  unsigned char *area;
  uint32_t module;
  uint32_t size;
  unsigned char fill;
};

bool filled(const unsigned char *area, uint32_t size, unsigned char fill) {
  return std::all_of(area, area + size, [fill](unsigned char b) { return b == fill; });
}

void churn(const uint32_t (&own)[2]) {
  std::mt19937 rng(own[0]);
  osal_malloc_counters model[2] = {g_osal_malloc_data[own[0]], g_osal_malloc_data[own[1]]};
  std::vector<Live> live;
  alignas(8) unsigned char untagged[16] = {};
  for (int step = 0; step <= kSteps; ++step) {
    // Level 0 is filtered out; levels 1 to 3 print, whatever the device.
    hdk_debug(own[0], step % 4, "module %u step %d\n", own[0], step);
    const uint32_t pick = rng() % 2;
    const unsigned action = step == kSteps ? 4 : rng() % 8;  // the last step releases what is left
    if (action < 4) {
      const bool zero = action % 2 == 0;
      const uint32_t module = rng() % 40 == 0 ? OSAL_MODULE_COUNT : own[pick];
      const uint32_t size = rng() % 40 == 0 ? UINT32_MAX - 7 * (rng() % 2) : rng() % 300;
      auto *area = static_cast<unsigned char *>(zero ? osal_malloc_zero_sdk(module, size)
                                                     : osal_malloc_sdk(module, size));
      ASSERT_EQ(area != nullptr, size != 0 && size < 300 && module == own[pick]) << size;
      if (area != nullptr) {
        uint32_t header[2];
        std::memcpy(header, area - OSAL_BLOCK_HEADER_SIZE, sizeof header);
        ASSERT_EQ(header[0], OSAL_BLOCK_TAG(module));
        ASSERT_EQ(header[1], size);
        ASSERT_TRUE(!zero || filled(area, size, 0)) << "zeroed block of " << size;
        // Dirtied, so that reused memory is not zero by luck, and with a
        // pattern that another thread's block landing on it would break.
        const auto fill = static_cast<unsigned char>(rng() | 1u);
        std::memset(area, fill, size);
        model[pick].malloc_size += size;
        model[pick].malloc_count += 1;
        live.push_back({area, module, size, fill});
      }
    } else if (action < 7) {
      for (size_t left = step == kSteps ? live.size() : std::min<size_t>(live.size(), 1); left > 0;
           --left) {
        const size_t index = rng() % live.size();
        const Live block = live[index];
        live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
        ASSERT_TRUE(filled(block.area, block.size, block.fill));
        // Under the wrong module the error is the caller's, and the block is
        // freed all the same.
        const uint32_t by = block.module == own[0] ? 0 : 1;
        const uint32_t caller = action == 6 ? 1 - by : by;
        osal_free_sdk(own[caller], block.area);
        if (caller == by) {
          model[by].malloc_size -= block.size;
          model[by].free_count += 1;
        } else {
          model[caller].free_error_count += 1;
        }
      }
    } else {
      // Refused without touching the heap; untagged memory counts an error.
      const unsigned which = rng() % 3;
      osal_free_sdk(which == 2 ? OSAL_MODULE_COUNT + 1 : own[pick],
                    which == 0 ? nullptr : untagged + 8);
      model[pick].free_error_count += which == 1 ? 1 : 0;
    }
    for (uint32_t i = 0; i < 2; ++i) {
      ASSERT_EQ(std::memcmp(&model[i], &g_osal_malloc_data[own[i]], sizeof model[i]), 0)
          << "module " << own[i] << ", step " << step;
    }
  }
  EXPECT_TRUE(filled(untagged, sizeof untagged, 0)) << "a refused release writes nothing";
}

void *run(void *arg) {
  auto *job = static_cast<Job *>(arg);
  job->self = osal_thread_self();
  job->name = osal_thread_name();
  churn(job->modules);
  return nullptr;
}

TEST(Stress, EveryThreadMatchesTheModelAndEveryLineArrivesOnce) {
  chip_test::PrintCapture capture;
  Job jobs[kThreads];
  osal_thread_id ids[kThreads];
  for (uint32_t t = 0; t < kThreads; ++t) {
    jobs[t].modules[0] = 1 + 2 * t;
    jobs[t].modules[1] = 2 + 2 * t;
    ids[t] = osal_thread_create(1, 2, 3, run, &jobs[t]);
    EXPECT_NE(ids[t], 0u);
  }
  for (uint32_t t = 0; t < kThreads && ids[t] != 0; ++t) {
    ASSERT_EQ(pthread_join(std::bit_cast<pthread_t>(ids[t]), nullptr), 0);
    EXPECT_EQ(jobs[t].self, ids[t]);
    EXPECT_EQ(jobs[t].name, osal_thread_name()) << "one constant for every thread";
  }
  EXPECT_NE(osal_thread_self(), ids[0]);
  EXPECT_STREQ(osal_thread_name(), " ");

  std::vector<std::string> expected;
  for (uint32_t module = 1; module < 2 * kThreads; module += 2) {
    for (int step = 0; step <= kSteps; ++step) {
      if (step % 4 != 0) {
        expected.push_back("module " + std::to_string(module) + " step " + std::to_string(step) +
                           "\n");
      }
    }
  }
  std::vector<std::string> printed = capture.calls();
  std::sort(printed.begin(), printed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(printed, expected);
}

}  // namespace
