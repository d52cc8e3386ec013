// SPDX-License-Identifier: Apache-2.0
// Cost of a field write and read through a prepared handle, beside its
// baseline in the same run: a hand-written read-modify-write through the
// same access functions with the address and mask precomputed. Also in the
// run: the field functions that validate every call, the C++ typed field
// (inlined), and the handle functions called across the shared-library
// boundary (libchip_util.so opened with dlopen, its functions called
// through pointers as a PLT call would be).
//
// The access functions are trivial (one word in memory), so the figures
// show the library's own overhead with the cheapest bus possible. With so
// cheap a bus, the call itself weighs: each size also runs the same
// hand-written read-modify-write as a function of its own, never inlined,
// which is the least any function called out of line can cost.
#include <chip_util/chip_util.hpp>

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include "ratio_report.hpp"
#include "trivial_bus.hpp"

namespace {

using namespace chip_bench;

constexpr uint32_t kDev = 2;

using ctrl32 = chip::reg<uint32_t, 0>;
using field32 = chip::field<ctrl32, kReg32, 4, 3>;
using field16 = chip::field<chip::reg<uint16_t, 0>, kReg16, 4, 3>;

hdk_chip_reg_table g_table = {0, 1, kModules, {0, 0, 0, 0, 0}, &kTrivialOps};

struct Prepared {
  chip_field32 h32{};
  chip_field16 h16{};
  chip::typed<field32> t32;
  chip::typed<field16> t16;
  bool ok = false;
};

const Prepared g_prepared = [] {
  Prepared p;
  p.ok = hdk_register_reg(kDev, &g_table) == 0 &&
         chip_field_prepare32(&p.h32, kDev, kInst, kReg32, 0).result == CHIP_OK &&
         chip_field_prepare16(&p.h16, kDev, kInst, kReg16, 0).result == CHIP_OK;
  auto t32 = chip::typed<field32>::prepare(kDev, kInst);
  auto t16 = chip::typed<field16>::prepare(kDev, kInst);
  p.ok = p.ok && t32.ok() && t16.ok();
  p.t32 = t32.value();
  p.t16 = t16.value();
  return p;
}();

// The handle functions of the shared library, through pointers.
struct Shared {
  decltype(&chip_field_write32) write32 = nullptr;
  decltype(&chip_field_read32) read32 = nullptr;
  decltype(&chip_field_write16) write16 = nullptr;
  decltype(&chip_field_read16) read16 = nullptr;
};

const Shared g_shared = [] {
  Shared s;
  void *lib = dlopen(CHIP_UTIL_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (lib != nullptr) {
    s.write32 = reinterpret_cast<decltype(s.write32)>(dlsym(lib, "chip_field_write32"));
    s.read32 = reinterpret_cast<decltype(s.read32)>(dlsym(lib, "chip_field_read32"));
    s.write16 = reinterpret_cast<decltype(s.write16)>(dlsym(lib, "chip_field_write16"));
    s.read16 = reinterpret_cast<decltype(s.read16)>(dlsym(lib, "chip_field_read16"));
  }
  return s;
}();

// A driver's own accessor: the access functions, address, mask and shift
// kept in a record, and nothing checked. noipa: the compiler must neither
// inline it nor specialise it for the constant record (which would call
// the access functions directly).
template <typename Word>
struct HandField {
  int32_t (*read)(uint32_t, Word, Word *);
  int32_t (*write)(uint32_t, Word, Word);
  uint32_t dev;
  Word addr;
  Word mask;
  uint32_t shift;
};
const HandField<uint32_t> kHand32 = {trivial_read32, trivial_write32, kDev, kAddr32, kMask, kStart};
const HandField<uint16_t> kHand16 = {trivial_read16, trivial_write16, kDev, kAddr16, kMask, kStart};

template <typename Word>
const HandField<Word> *hand_field() {
  if constexpr (sizeof(Word) == 4) {
    return &kHand32;
  } else {
    return &kHand16;
  }
}

template <typename Word>
[[gnu::noipa]] int32_t hand_write(const HandField<Word> *field, Word value) {
  Word old_word = 0;
  const int32_t status = field->read(field->dev, field->addr, &old_word);
  const auto merged = static_cast<Word>((old_word & ~field->mask) | (value << field->shift));
  return status | field->write(field->dev, field->addr, merged);
}

template <typename Word>
[[gnu::noipa]] int32_t hand_read(const HandField<Word> *field, Word *value) {
  Word word = 0;
  const int32_t status = field->read(field->dev, field->addr, &word);
  *value = static_cast<Word>((word & field->mask) >> field->shift);
  return status;
}

template <typename Word>
void WriteOutOfLine(benchmark::State &state) {
  const HandField<Word> *field = hand_field<Word>();
  benchmark::DoNotOptimize(field);
  Word value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hand_write(field, value));
    value = static_cast<Word>((value + 1) & 7);
  }
}

template <typename Word>
void ReadOutOfLine(benchmark::State &state) {
  const HandField<Word> *field = hand_field<Word>();
  benchmark::DoNotOptimize(field);
  Word value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hand_read(field, &value));
    benchmark::DoNotOptimize(value);
  }
}

bool ready(benchmark::State &state, bool shared = false) {
  if (!g_prepared.ok || (shared && g_shared.write32 == nullptr)) {
    state.SkipWithError(shared ? "libchip_util.so not loaded" : "preparation failed");
    return false;
  }
  return true;
}

// ---- 32-bit writes ----

void Write32Handle(benchmark::State &state) {
  if (!ready(state)) return;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chip_field_write32(&g_prepared.h32, value));
    value = (value + 1) & 7;
  }
}

void Write32HandleShared(benchmark::State &state) {
  if (!ready(state, true)) return;
  const auto write = g_shared.write32;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write(&g_prepared.h32, value));
    value = (value + 1) & 7;
  }
}

void Write32Typed(benchmark::State &state) {
  if (!ready(state)) return;
  const chip::typed<field32> &field = g_prepared.t32;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(field.write(field32::of(value)));
    value = (value + 1) & 7;
  }
}

void Write32Function(benchmark::State &state) {
  if (!ready(state)) return;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_write_reg32_field(kDev, kInst, kReg32, 0, value));
    value = (value + 1) & 7;
  }
}

// ---- 32-bit reads ----

void Read32Handle(benchmark::State &state) {
  if (!ready(state)) return;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chip_field_read32(&g_prepared.h32, &value));
    benchmark::DoNotOptimize(value);
  }
}

void Read32HandleShared(benchmark::State &state) {
  if (!ready(state, true)) return;
  const auto read = g_shared.read32;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(read(&g_prepared.h32, &value));
    benchmark::DoNotOptimize(value);
  }
}

void Read32Typed(benchmark::State &state) {
  if (!ready(state)) return;
  const chip::typed<field32> &field = g_prepared.t32;
  for (auto _ : state) {
    // Kept as the baseline keeps them: the status and the value, each in a
    // register (the whole 12-byte result would be forced to memory).
    const auto result = field.read();
    auto value = result.value();
    benchmark::DoNotOptimize(result.status());
    benchmark::DoNotOptimize(value);
  }
}

void Read32Function(benchmark::State &state) {
  if (!ready(state)) return;
  uint32_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_read_reg32_field(kDev, kInst, kReg32, 0, &value));
    benchmark::DoNotOptimize(value);
  }
}

// ---- 16-bit writes and reads ----

void Write16Handle(benchmark::State &state) {
  if (!ready(state)) return;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chip_field_write16(&g_prepared.h16, value));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

void Write16HandleShared(benchmark::State &state) {
  if (!ready(state, true)) return;
  const auto write = g_shared.write16;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write(&g_prepared.h16, value));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

void Write16Typed(benchmark::State &state) {
  if (!ready(state)) return;
  const chip::typed<field16> &field = g_prepared.t16;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(field.write(field16::of(value)));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

void Write16Function(benchmark::State &state) {
  if (!ready(state)) return;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_write_reg16_field(kDev, kInst, kReg16, 0, value));
    value = static_cast<uint16_t>((value + 1) & 7);
  }
}

void Read16Handle(benchmark::State &state) {
  if (!ready(state)) return;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(chip_field_read16(&g_prepared.h16, &value));
    benchmark::DoNotOptimize(value);
  }
}

void Read16HandleShared(benchmark::State &state) {
  if (!ready(state, true)) return;
  const auto read = g_shared.read16;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(read(&g_prepared.h16, &value));
    benchmark::DoNotOptimize(value);
  }
}

void Read16Typed(benchmark::State &state) {
  if (!ready(state)) return;
  const chip::typed<field16> &field = g_prepared.t16;
  for (auto _ : state) {
    // Kept as the baseline keeps them: the status and the value, each in a
    // register (the whole 12-byte result would be forced to memory).
    const auto result = field.read();
    auto value = result.value();
    benchmark::DoNotOptimize(result.status());
    benchmark::DoNotOptimize(value);
  }
}

void Read16Function(benchmark::State &state) {
  if (!ready(state)) return;
  uint16_t value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hdk_read_reg16_field(kDev, kInst, kReg16, 0, &value));
    benchmark::DoNotOptimize(value);
  }
}

}  // namespace

#define CHIP_BENCH(function, name)                                                  \
  BENCHMARK(function)->Name(name)->Repetitions(15)->ReportAggregatesOnly()->ComputeStatistics( \
      "min", chip_bench::fastest)

CHIP_BENCH((write32_baseline<kDev, kTrivialOps>), "write32/baseline");
CHIP_BENCH(WriteOutOfLine<uint32_t>, "write32/hand_written_out_of_line");
CHIP_BENCH(Write32Handle, "write32/handle");
CHIP_BENCH(Write32HandleShared, "write32/handle_shared_lib");
CHIP_BENCH(Write32Typed, "write32/typed_inline");
CHIP_BENCH(Write32Function, "write32/field_function");
CHIP_BENCH((read32_baseline<kDev, kTrivialOps>), "read32/baseline");
CHIP_BENCH(ReadOutOfLine<uint32_t>, "read32/hand_written_out_of_line");
CHIP_BENCH(Read32Handle, "read32/handle");
CHIP_BENCH(Read32HandleShared, "read32/handle_shared_lib");
CHIP_BENCH(Read32Typed, "read32/typed_inline");
CHIP_BENCH(Read32Function, "read32/field_function");
CHIP_BENCH((write16_baseline<kDev, kTrivialOps>), "write16/baseline");
CHIP_BENCH(WriteOutOfLine<uint16_t>, "write16/hand_written_out_of_line");
CHIP_BENCH(Write16Handle, "write16/handle");
CHIP_BENCH(Write16HandleShared, "write16/handle_shared_lib");
CHIP_BENCH(Write16Typed, "write16/typed_inline");
CHIP_BENCH(Write16Function, "write16/field_function");
CHIP_BENCH((read16_baseline<kDev, kTrivialOps>), "read16/baseline");
CHIP_BENCH(ReadOutOfLine<uint16_t>, "read16/hand_written_out_of_line");
CHIP_BENCH(Read16Handle, "read16/handle");
CHIP_BENCH(Read16HandleShared, "read16/handle_shared_lib");
CHIP_BENCH(Read16Typed, "read16/typed_inline");
CHIP_BENCH(Read16Function, "read16/field_function");

int main(int argc, char **argv) {
  std::vector<chip_bench::Ratio> ratios;
  for (const char *size : {"write32", "read32", "write16", "read16"}) {
    const std::string base = std::string(size) + "/baseline";
    for (const char *candidate : {"hand_written_out_of_line", "handle", "handle_shared_lib",
                                  "typed_inline", "field_function"}) {
      ratios.push_back({std::string(size) + "/" + candidate, base});
    }
    ratios.push_back({std::string(size) + "/handle", std::string(size) + "/hand_written_out_of_line"});
  }
  return chip_bench::run_with_ratios(argc, argv, std::move(ratios));
}
