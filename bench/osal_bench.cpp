// SPDX-License-Identifier: Apache-2.0
// What the counted allocator adds to a plain heap block, what its registry
// of live blocks adds to the header check alone (the release path before
// the registry, rebuilt from the same pieces), and the case-insensitive
// comparison against the platform's strcasecmp.
#include <chip_util/log.h>
#include <chip_util/osal.h>

#include <benchmark/benchmark.h>

#include <strings.h>

#include <atomic>
#include <cstring>

#include "osal/block_header.hpp"

namespace {

void BM_PlainHeapPair(benchmark::State &state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    void *block = hdk_malloc(size);
    benchmark::DoNotOptimize(block);
    hdk_free(block);
  }
}
BENCHMARK(BM_PlainHeapPair)->Arg(32)->Arg(512);

void BM_CountedHeapPair(benchmark::State &state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    void *area = osal_malloc_sdk(1, size);
    benchmark::DoNotOptimize(area);
    osal_free_sdk(1, area);
  }
}
BENCHMARK(BM_CountedHeapPair)->Arg(32)->Arg(512)->ThreadRange(1, 2);

// The counted pair as it was before the registry: header written, counters
// moved, header checked and cleared, block freed. Its double release read
// freed memory.
void BM_HeaderOnlyCountedPair(benchmark::State &state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  // The same shared counters and relaxed updates as the real pair.
  osal_malloc_counters &entry = g_osal_malloc_data[1];
  const auto add = [](uint32_t &counter, uint32_t amount) {
    std::atomic_ref<uint32_t> word(counter);
    word.store(word.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
  };
  for (auto _ : state) {
    auto *block = static_cast<unsigned char *>(hdk_malloc(size + OSAL_BLOCK_HEADER_SIZE));
    add(entry.malloc_size, size);
    add(entry.malloc_count, 1);
    const osal::BlockHeader header{OSAL_BLOCK_TAG(1), size};
    std::memcpy(block, &header, sizeof header);
    benchmark::DoNotOptimize(block);
    if (osal::settle_release(block, 1, entry) != osal::Release::kRefusedKeep) hdk_free(block);
  }
}
BENCHMARK(BM_HeaderOnlyCountedPair)->Arg(32)->Arg(512)->ThreadRange(1, 2);

constexpr const char *kLeft = "Line-Card-Port-Enable-Register-17";
constexpr const char *kRight = "line-card-port-enable-register-17";

void BM_PlatformStrcasecmp(benchmark::State &state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(strcasecmp(kLeft, kRight));
  }
}
BENCHMARK(BM_PlatformStrcasecmp);

void BM_OsalStricmp(benchmark::State &state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(osal_stricmp(kLeft, kRight));
  }
}
BENCHMARK(BM_OsalStricmp);

void BM_MonotonicClock(benchmark::State &state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_time_usecs());
  }
}
BENCHMARK(BM_MonotonicClock);

}  // namespace

BENCHMARK_MAIN();
