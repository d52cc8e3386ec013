// SPDX-License-Identifier: Apache-2.0
// Cost of reading a realistic FMEA command: all eight options one call each
// (every drv_fmea_parse_opt call parses the whole set) against one
// drv_fmea_parse_opt_set pass read out with drv_fmea_get_opt, and the dfx
// list (one heap text per call) against extracting the same list text
// directly.
#include <chip_util/fmea.h>

#include <benchmark/benchmark.h>

namespace {

constexpr const char *kCommand =
    "read[addr=0x1000,mask=0xff,val=0x1,cmp_val=0x5] inject[addr=0x2000,val=3] "
    "wc[addr=0x30,mask=0xffff0000] dfx[1,2,3,4,5,6,7,8]";

void BM_ParseOptPerType(benchmark::State &state) {
  for (auto _ : state) {
    drv_fmea_opt opt;
    uint32_t sum = 0;
    for (drv_fmea_opt_type type = DRV_FMEA_OPT_READ; type <= DRV_FMEA_OPT_INJECT_UNDO; ++type) {
      sum += static_cast<uint32_t>(drv_fmea_parse_opt(kCommand, type, &opt)) + opt.addr;
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ParseOptPerType);

void BM_ParseOptSetOnce(benchmark::State &state) {
  for (auto _ : state) {
    drv_fmea_opt set[DRV_FMEA_OPT_SET_SIZE] = {};
    drv_fmea_opt opt;
    uint32_t sum = drv_fmea_parse_opt_set(kCommand, set);
    for (drv_fmea_opt_type type = DRV_FMEA_OPT_READ; type <= DRV_FMEA_OPT_INJECT_UNDO; ++type) {
      sum += static_cast<uint32_t>(drv_fmea_get_opt(set, type, &opt)) + opt.addr;
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ParseOptSetOnce);

void BM_ParseDfx(benchmark::State &state) {
  uint32_t list[16];
  for (auto _ : state) {
    benchmark::DoNotOptimize(drv_fmea_parse_dfx(kCommand, 16, list));
  }
}
BENCHMARK(BM_ParseDfx);

// Baseline: the same numbers taken from the list text without the heap copy.
void BM_GetNumsOnListText(benchmark::State &state) {
  uint32_t list[16];
  const char *text = "dfx[1,2,3,4,5,6,7,8]";
  for (auto _ : state) {
    benchmark::DoNotOptimize(drv_fmea_get_nums(text, list, 16));
  }
}
BENCHMARK(BM_GetNumsOnListText);

}  // namespace

BENCHMARK_MAIN();
