// What the counted allocator adds to a plain heap block, and the
// case-insensitive comparison against the platform's strcasecmp.
#include <chip_util/log.h>
#include <chip_util/osal.h>

#include <benchmark/benchmark.h>

#include <strings.h>

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
BENCHMARK(BM_CountedHeapPair)->Arg(32)->Arg(512);

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
