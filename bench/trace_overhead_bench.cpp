// SPDX-License-Identifier: Apache-2.0
// What the trace points cost a field write and read when nobody traces:
// the library's field functions (USDT probes and the callback branch
// compiled in) beside the same source built without them (the untraced_*
// copies, see CMakeLists.txt), in the same run and on the same table.
// Two sets of access functions: trivial ones, so that nothing hides the
// difference, and the simulated chip's, as in reg_field_bench.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <benchmark/benchmark.h>

#include "ratio_report.hpp"
#include "trivial_bus.hpp"

#include <vector>

extern "C" {
int32_t untraced_write_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                                   uint32_t value);
int32_t untraced_read_reg32_field(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                                  uint32_t *value);
int32_t untraced_write_reg16_field(uint32_t dev, uint32_t inst, uint32_t reg_id, uint32_t elem,
                                   uint16_t value);
}

namespace {

using namespace chip_bench;

constexpr uint32_t kDev = 4;
constexpr uint32_t kSimDev = 5;

hdk_chip_reg_table g_table = {0, 1, kModules, {0, 0, 0, 0, 0}, &kTrivialOps};
hdk_chip_reg_table g_sim_table = {0, 1, kModules, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
const bool g_ready = [] {
  chip_sim_reset();
  chip_sim_log_enable(0);
  return hdk_register_reg(kDev, &g_table) == 0 && hdk_register_reg(kSimDev, &g_sim_table) == 0;
}();

template <int32_t (*kWrite)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t),
          uint32_t kOn = kDev>
void Write32(benchmark::State &state) {
  if (!g_ready) {
    state.SkipWithError("registration failed");
    return;
  }
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kWrite(kOn, kInst, kReg32, 0, value));
    value = (value + 1) & 7;
  }
}

template <int32_t (*kWrite)(uint32_t, uint32_t, uint32_t, uint32_t, uint16_t)>
void Write16(benchmark::State &state) {
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kWrite(kDev, kInst, kReg16, 0, value));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

template <int32_t (*kRead)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *)>
void Read32(benchmark::State &state) {
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kRead(kDev, kInst, kReg32, 0, &value));
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace

// Each pair: the library's function, then its untraced copy; many short
// repetitions of each, interleaved at random (see ratio_report.hpp).
#define PAIR(name, traced, untraced)                                                        \
  BENCHMARK(traced)->Name(name "/with_trace_points")->Repetitions(25)->ReportAggregatesOnly() \
      ->ComputeStatistics("min", chip_bench::fastest);                                       \
  BENCHMARK(untraced)->Name(name "/without")->Repetitions(25)->ReportAggregatesOnly()        \
      ->ComputeStatistics("min", chip_bench::fastest)

PAIR("write32", Write32<hdk_write_reg32_field>, Write32<untraced_write_reg32_field>);
PAIR("sim/write32", (Write32<hdk_write_reg32_field, kSimDev>),
     (Write32<untraced_write_reg32_field, kSimDev>));
PAIR("write16", Write16<hdk_write_reg16_field>, Write16<untraced_write_reg16_field>);
PAIR("read32", Read32<hdk_read_reg32_field>, Read32<untraced_read_reg32_field>);

int main(int argc, char **argv) {
  std::vector<chip_bench::Ratio> ratios;
  for (const char *name : {"write32", "sim/write32", "write16", "read32"}) {
    ratios.push_back({std::string(name) + "/with_trace_points", std::string(name) + "/without"});
  }
  return chip_bench::run_with_ratios(argc, argv, std::move(ratios));
}
