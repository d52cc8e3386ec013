// SPDX-License-Identifier: Apache-2.0
// Cost of a field read and write through the library, each beside a
// baseline in the same run: a hand-written read-modify-write through the
// same access functions with the address and mask precomputed. The library
// adds the chip-id resolution, the table walk with its checks and the
// element location.
//
// Two sets of access functions: the simulated chip's (a hash look-up per
// access, logging off) and a trivial one-word register, which shows the
// library's own overhead with the cheapest access functions possible.
#include <chip_util/register.h>
#include <chip_util/sim.h>

#include <benchmark/benchmark.h>

#include "trivial_bus.hpp"

namespace {

using namespace chip_bench;

constexpr uint32_t kSimDev = 1;
constexpr uint32_t kTrivialDev = 2;

hdk_chip_reg_table g_sim_table = {0, 1, kModules, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
hdk_chip_reg_table g_trivial_table = {0, 1, kModules, {0, 0, 0, 0, 0}, &kTrivialOps};

// Registers both chips once; the simulator keeps no log.
const bool g_ready = [] {
  chip_sim_reset();
  chip_sim_log_enable(0);
  return hdk_register_reg(kSimDev, &g_sim_table) == 0 &&
         hdk_register_reg(kTrivialDev, &g_trivial_table) == 0;
}();

template <uint32_t kDev>
void Write32Library(benchmark::State &state) {
  if (!g_ready) {
    state.SkipWithError("registration failed");
    return;
  }
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_write_reg32_field(kDev, kInst, kReg32, 0, value));
    value = (value + 1) & 7;
  }
}

template <uint32_t kDev>
void Read32Library(benchmark::State &state) {
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_read_reg32_field(kDev, kInst, kReg32, 0, &value));
    benchmark::DoNotOptimize(value);
  }
}

template <uint32_t kDev>
void Write16Library(benchmark::State &state) {
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_write_reg16_field(kDev, kInst, kReg16, 0, value));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

template <uint32_t kDev>
void Read16Library(benchmark::State &state) {
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_read_reg16_field(kDev, kInst, kReg16, 0, &value));
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace

BENCHMARK(Write32Library<kSimDev>)->Name("sim/write32/library");
BENCHMARK((write32_baseline<kSimDev, chip_sim_reg_ops>))->Name("sim/write32/baseline");
BENCHMARK(Read32Library<kSimDev>)->Name("sim/read32/library");
BENCHMARK((read32_baseline<kSimDev, chip_sim_reg_ops>))->Name("sim/read32/baseline");
BENCHMARK(Write16Library<kSimDev>)->Name("sim/write16/library");
BENCHMARK((write16_baseline<kSimDev, chip_sim_reg_ops>))->Name("sim/write16/baseline");
BENCHMARK(Read16Library<kSimDev>)->Name("sim/read16/library");
BENCHMARK((read16_baseline<kSimDev, chip_sim_reg_ops>))->Name("sim/read16/baseline");
BENCHMARK(Write32Library<kTrivialDev>)->Name("trivial/write32/library");
BENCHMARK((write32_baseline<kTrivialDev, kTrivialOps>))->Name("trivial/write32/baseline");
BENCHMARK(Read32Library<kTrivialDev>)->Name("trivial/read32/library");
BENCHMARK((read32_baseline<kTrivialDev, kTrivialOps>))->Name("trivial/read32/baseline");
BENCHMARK(Write16Library<kTrivialDev>)->Name("trivial/write16/library");
BENCHMARK((write16_baseline<kTrivialDev, kTrivialOps>))->Name("trivial/write16/baseline");
BENCHMARK(Read16Library<kTrivialDev>)->Name("trivial/read16/library");
BENCHMARK((read16_baseline<kTrivialDev, kTrivialOps>))->Name("trivial/read16/baseline");

BENCHMARK_MAIN();
