// Counted allocations from many threads at once. The counters are updated
// without a lock and may lose updates when two threads share a module, so
// each thread of the exact test counts under a module of its own and checks
// its own counters exactly; threads that share a module check only their
// blocks (contents intact, every block released).
#include <chip_util/osal.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kRounds = 4000;
constexpr uint32_t kLiveBlocks = 16;

struct Block {
  unsigned char *area = nullptr;
  uint32_t size = 0;
  unsigned char fill = 0;
};

struct Tally {
  uint32_t allocations = 0;
  uint32_t releases = 0;
  uint32_t bad_contents = 0;
  uint32_t null_blocks = 0;
  uint32_t bad_headers = 0;
};

bool holds(const Block &block, unsigned char fill) {
  for (uint32_t i = 0; i < block.size; ++i) {
    if (block.area[i] != fill) return false;
  }
  return true;
}

// The header in front of a live block: the module's tag and the size.
bool header_matches(const Block &block, uint32_t module) {
  uint32_t words[2];
  std::memcpy(words, block.area - OSAL_BLOCK_HEADER_SIZE, sizeof words);
  return words[0] == OSAL_BLOCK_TAG(module) && words[1] == block.size;
}

// Keeps up to kLiveBlocks blocks alive, replacing a random one per round;
// zeroed blocks must read as zero, and every block must still hold its fill
// pattern when released (another thread's block landing on it would not).
void churn(uint32_t module, uint32_t seed, Tally &tally) {
  std::mt19937 random(seed);
  std::vector<Block> live(kLiveBlocks);
  auto release = [&](Block &block) {
    if (block.area == nullptr) return;
    if (!holds(block, block.fill)) ++tally.bad_contents;
    if (!header_matches(block, module)) ++tally.bad_headers;
    osal_free_sdk(module, block.area);
    ++tally.releases;
    block = Block{};
  };
  for (uint32_t round = 0; round < kRounds; ++round) {
    Block &slot = live[random() % kLiveBlocks];
    release(slot);
    const uint32_t size = 1 + random() % 300;
    const bool zeroed = (random() & 1u) != 0;
    void *area = zeroed ? osal_malloc_zero_sdk(module, size) : osal_malloc_sdk(module, size);
    if (area == nullptr) {
      ++tally.null_blocks;
      continue;
    }
    ++tally.allocations;
    slot = {static_cast<unsigned char *>(area), size, static_cast<unsigned char>(random())};
    if (zeroed && !holds(slot, 0)) ++tally.bad_contents;
    std::memset(slot.area, slot.fill, size);
  }
  for (Block &block : live) release(block);
}

TEST(MemoryStress, ThreadPerModuleCountsExactly) {
  // Modules 1 to 9, one thread each; module 0 is the layer's own.
  std::vector<osal_malloc_counters> before(OSAL_MODULE_COUNT);
  for (uint32_t m = 0; m < OSAL_MODULE_COUNT; ++m) before[m] = g_osal_malloc_data[m];
  std::vector<Tally> tallies(OSAL_MODULE_COUNT);
  std::latch start(OSAL_MODULE_COUNT - 1);
  std::vector<std::thread> threads;
  for (uint32_t m = 1; m < OSAL_MODULE_COUNT; ++m) {
    threads.emplace_back([m, &tallies, &start] {
      start.arrive_and_wait();
      churn(m, 1000 + m, tallies[m]);
    });
  }
  for (auto &thread : threads) thread.join();

  for (uint32_t m = 1; m < OSAL_MODULE_COUNT; ++m) {
    SCOPED_TRACE("module " + std::to_string(m));
    const Tally &tally = tallies[m];
    const osal_malloc_counters &now = g_osal_malloc_data[m];
    EXPECT_EQ(tally.null_blocks, 0u);
    EXPECT_EQ(tally.bad_contents, 0u);
    EXPECT_EQ(tally.bad_headers, 0u);
    EXPECT_EQ(tally.allocations, kRounds);
    EXPECT_EQ(tally.releases, tally.allocations);
    EXPECT_EQ(now.malloc_count - before[m].malloc_count, tally.allocations);
    EXPECT_EQ(now.free_count - before[m].free_count, tally.releases);
    EXPECT_EQ(now.free_error_count, before[m].free_error_count);
    EXPECT_EQ(now.malloc_size, before[m].malloc_size);
  }
}

TEST(MemoryStress, SharedModuleBlocksStayIntact) {
  // Eight threads on one module: counter updates may be lost, so only the
  // blocks themselves are checked. Every block is released (a leak checker
  // run of this test sees none left).
  constexpr uint32_t kShared = 5;
  std::vector<Tally> tallies(8);
  std::latch start(static_cast<std::ptrdiff_t>(tallies.size()));
  std::vector<std::thread> threads;
  for (uint32_t t = 0; t < tallies.size(); ++t) {
    threads.emplace_back([t, &tallies, &start] {
      start.arrive_and_wait();
      churn(kShared, 2000 + t, tallies[t]);
    });
  }
  for (auto &thread : threads) thread.join();
  for (uint32_t t = 0; t < tallies.size(); ++t) {
    SCOPED_TRACE("thread " + std::to_string(t));
    EXPECT_EQ(tallies[t].null_blocks, 0u);
    EXPECT_EQ(tallies[t].bad_contents, 0u);
    EXPECT_EQ(tallies[t].bad_headers, 0u);
    EXPECT_EQ(tallies[t].releases, tallies[t].allocations);
  }
}

// Threads started through the layer release their own start records under
// module 0 while other threads allocate; each started thread allocates and
// releases under its own module and reports through its argument.
struct Job {
  uint32_t module = 0;
  Tally tally;
};

void *run_job(void *arg) {
  auto *job = static_cast<Job *>(arg);
  churn(job->module, 3000 + job->module, job->tally);
  return nullptr;
}

TEST(MemoryStress, LayerThreadsChurnTheirOwnModules) {
  std::vector<osal_malloc_counters> before(OSAL_MODULE_COUNT);
  for (uint32_t m = 0; m < OSAL_MODULE_COUNT; ++m) before[m] = g_osal_malloc_data[m];
  std::vector<Job> jobs(OSAL_MODULE_COUNT);
  std::vector<osal_thread_id> ids;
  for (uint32_t m = 1; m < OSAL_MODULE_COUNT; ++m) {
    jobs[m].module = m;
    const osal_thread_id id = osal_thread_create(0, 0, 0, run_job, &jobs[m]);
    ASSERT_NE(id, 0u);
    ids.push_back(id);
  }
  for (osal_thread_id id : ids) {
    pthread_t thread;
    static_assert(sizeof thread == sizeof id);
    std::memcpy(&thread, &id, sizeof thread);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
  }
  for (uint32_t m = 1; m < OSAL_MODULE_COUNT; ++m) {
    SCOPED_TRACE("module " + std::to_string(m));
    EXPECT_EQ(jobs[m].tally.bad_contents, 0u);
    EXPECT_EQ(jobs[m].tally.bad_headers, 0u);
    EXPECT_EQ(g_osal_malloc_data[m].malloc_count - before[m].malloc_count, kRounds);
    EXPECT_EQ(g_osal_malloc_data[m].free_count - before[m].free_count, kRounds);
    EXPECT_EQ(g_osal_malloc_data[m].malloc_size, before[m].malloc_size);
  }
}

}  // namespace
