// SPDX-License-Identifier: Apache-2.0
// hdk_get_field_info / hdk_set_field_info beside hand-written code that
// moves the same field with its word indexes, shifts and masks fixed at
// compile time: the floor for that field. Images are most significant word
// first, so word 7 of a 256-bit image holds register bits 0-31.
#include <chip_util/register.h>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using Image256 = std::array<uint32_t, 8>;
using Field128 = std::array<uint32_t, 4>;

constexpr Image256 kImage = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u,
                             0x0F1E2D3Cu, 0x4B5A6978u, 0x8796A5B4u, 0xC3D2E1F0u};
constexpr Field128 kField100 = {0x9u, 0x13579BDFu, 0x2468ACE0u, 0xDEADBEEFu};
constexpr Field128 kField128 = {0xCAFEF00Du, 0x13579BDFu, 0x2468ACE0u, 0xDEADBEEFu};

// ---- 100 bits at start bit 13: three full chunks across word pairs and a
// 4-bit top chunk that ends inside image word 4.

__attribute__((noinline)) void get_100_at_13(const uint32_t *img, uint32_t *f) {
  f[3] = (img[7] >> 13) | (img[6] << 19);
  f[2] = (img[6] >> 13) | (img[5] << 19);
  f[1] = (img[5] >> 13) | (img[4] << 19);
  f[0] = (img[4] >> 13) & 0xFu;
}

__attribute__((noinline)) void set_100_at_13(uint32_t *img, const uint32_t *f) {
  img[7] = (img[7] & 0x1FFFu) | (f[3] << 13);
  img[6] = (f[3] >> 19) | (f[2] << 13);
  img[5] = (f[2] >> 19) | (f[1] << 13);
  uint32_t top = (img[4] & ~0x1FFFu) | (f[1] >> 19);
  if ((f[0] >> 4) == 0) {  // the same top-chunk test the library makes
    top = (top & ~0x1E000u) | (f[0] << 13);
  }
  img[4] = top;
}

// ---- 128 bits at start bit 64: four whole image words.

__attribute__((noinline)) void get_128_at_64(const uint32_t *img, uint32_t *f) {
  f[3] = img[5];
  f[2] = img[4];
  f[1] = img[3];
  f[0] = img[2];
}

__attribute__((noinline)) void set_128_at_64(uint32_t *img, const uint32_t *f) {
  img[5] = f[3];
  img[4] = f[2];
  img[3] = f[1];
  img[2] = f[0];
}

// The field position is passed through DoNotOptimize so that the library
// call sees it as run-time data, as it does when it comes from a table.
struct Shape {
  uint32_t start_bit;
  uint32_t field_bits;
  uint32_t reg_bytes;
};

void BM_Get100At13_Library(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field{};
  Shape s{13, 100, 32};
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    benchmark::DoNotOptimize(field);
  }
}
void BM_Get100At13_Baseline(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(image);
    get_100_at_13(image.data(), field.data());
    benchmark::DoNotOptimize(field);
  }
}
void BM_Set100At13_Library(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field = kField100;
  Shape s{13, 100, 32};
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    hdk_set_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    benchmark::DoNotOptimize(image);
  }
}
void BM_Set100At13_Baseline(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field = kField100;
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    set_100_at_13(image.data(), field.data());
    benchmark::DoNotOptimize(image);
  }
}
void BM_Get128At64_Library(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field{};
  Shape s{64, 128, 32};
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    benchmark::DoNotOptimize(field);
  }
}
void BM_Get128At64_Baseline(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(image);
    get_128_at_64(image.data(), field.data());
    benchmark::DoNotOptimize(field);
  }
}
void BM_Set128At64_Library(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field = kField128;
  Shape s{64, 128, 32};
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    hdk_set_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    benchmark::DoNotOptimize(image);
  }
}
void BM_Set128At64_Baseline(benchmark::State &state) {
  Image256 image = kImage;
  Field128 field = kField128;
  for (auto _ : state) {
    benchmark::DoNotOptimize(field);
    set_128_at_64(image.data(), field.data());
    benchmark::DoNotOptimize(image);
  }
}

// The same 100-bit field in the widest register a record can describe
// (1023 bytes): the cost follows the field width, not the register width.
void BM_Get100At13_Library_1023ByteRegister(benchmark::State &state) {
  std::vector<uint32_t> image(256, 0x5A5A5A5Au);
  Field128 field{};
  Shape s{13, 100, 1023};
  for (auto _ : state) {
    benchmark::DoNotOptimize(s);
    hdk_get_field_info(s.start_bit, s.field_bits, s.reg_bytes, image.data(), field.data());
    benchmark::DoNotOptimize(field);
  }
}

BENCHMARK(BM_Get100At13_Library);
BENCHMARK(BM_Get100At13_Baseline);
BENCHMARK(BM_Set100At13_Library);
BENCHMARK(BM_Set100At13_Baseline);
BENCHMARK(BM_Get128At64_Library);
BENCHMARK(BM_Get128At64_Baseline);
BENCHMARK(BM_Set128At64_Library);
BENCHMARK(BM_Set128At64_Baseline);
BENCHMARK(BM_Get100At13_Library_1023ByteRegister);

}  // namespace

BENCHMARK_MAIN();
