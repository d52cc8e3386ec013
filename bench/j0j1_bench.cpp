// SPDX-License-Identifier: Apache-2.0
// J0/J1 codec: a full encode/assemble/decode round per trace length, and the
// table-driven CRC-7 beside a bit-by-bit long division of the same frame.
#include <chip_util/j0j1.h>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <span>

#include "j0j1/crc7.hpp"

namespace {

using Pattern = std::array<uint8_t, 64>;

// Baseline: bytes(x) * x^7 divided by x^7 + x^3 + 1 one bit at a time.
uint8_t crc7_bitwise(std::span<const uint8_t> bytes) {
  unsigned reg = 0;
  for (const uint8_t byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      reg = (reg << 1) | ((byte >> bit) & 1u);
      if ((reg & 0x80u) != 0) {
        reg ^= 0x89u;
      }
    }
  }
  for (int i = 0; i < 7; ++i) {
    reg <<= 1;
    if ((reg & 0x80u) != 0) {
      reg ^= 0x89u;
    }
  }
  return static_cast<uint8_t>(reg);
}

Pattern trace_text() {
  Pattern text;
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<uint8_t>('A' + i % 26);
  }
  return text;
}

std::array<uint8_t, 16> sample_frame() {
  std::array<uint8_t, 16> frame{};
  const Pattern text = trace_text();
  drv_encode_j0j1_tx_msg(16, text.data(), frame.data());
  frame[0] = 0x80;
  return frame;
}

void BM_Crc7Table(benchmark::State &state) {
  auto frame = sample_frame();
  for (auto _ : state) {
    benchmark::DoNotOptimize(frame.data());
    benchmark::DoNotOptimize(chip_j0j1::crc7(frame));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 16);
}
BENCHMARK(BM_Crc7Table);

void BM_Crc7BitwiseBaseline(benchmark::State &state) {
  auto frame = sample_frame();
  if (crc7_bitwise(frame) != chip_j0j1::crc7(frame)) {
    state.SkipWithError("baseline and table disagree");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(frame.data());
    benchmark::DoNotOptimize(crc7_bitwise(frame));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 16);
}
BENCHMARK(BM_Crc7BitwiseBaseline);

// Encode, assemble, rotate as a receiver would see it, decode.
void BM_RoundTrip(benchmark::State &state) {
  const auto length = static_cast<uint32_t>(state.range(0));
  const Pattern text = trace_text();
  Pattern frame{};
  Pattern pattern{};
  Pattern received{};
  Pattern decoded{};
  uint32_t rx_len = 0;
  for (auto _ : state) {
    drv_encode_j0j1_tx_msg(length, text.data(), frame.data());
    drv_assemble_j0j1_msg(length, frame.data(), pattern.data());
    benchmark::DoNotOptimize(pattern.data());
    for (size_t i = 0; i < received.size(); ++i) {
      received[i] = pattern[(i + 37) % 64];
    }
    drv_decode_j0j1_rx_msg(received.data(), &rx_len, decoded.data(), decoded.size());
    benchmark::DoNotOptimize(decoded.data());
    benchmark::ClobberMemory();
  }
  if (rx_len != length) {
    state.SkipWithError("round trip lost the trace");
  }
}
BENCHMARK(BM_RoundTrip)->Arg(16)->Arg(64);

// Decoding alone, the receive side a driver polls.
void BM_Decode(benchmark::State &state) {
  const auto length = static_cast<uint32_t>(state.range(0));
  const Pattern text = trace_text();
  Pattern frame{};
  Pattern pattern{};
  drv_encode_j0j1_tx_msg(length, text.data(), frame.data());
  drv_assemble_j0j1_msg(length, frame.data(), pattern.data());
  Pattern decoded{};
  uint32_t rx_len = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pattern.data());
    drv_decode_j0j1_rx_msg(pattern.data(), &rx_len, decoded.data(), decoded.size());
    benchmark::DoNotOptimize(decoded.data());
  }
}
BENCHMARK(BM_Decode)->Arg(16)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
