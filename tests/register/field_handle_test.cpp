// SPDX-License-Identifier: Apache-2.0
// Field handles against the field functions they stand in for: over drawn
// records of every shape and drawn calls, a prepared handle must make the
// same accesses, store the same values and give the same statuses as
// hdk_read/write_regNN_field, refuse exactly where they refuse and log the
// same line under its own name. Then merged writes, polling and
// unregistering on the simulated chip.
#include <chip_util/handle.h>
#include <chip_util/osal.h>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

static bool operator==(const chip_sim_access &a, const chip_sim_access &b) {
  return std::tie(a.dev, a.addr, a.value, a.status, a.kind, a.width) ==
         std::tie(b.dev, b.addr, b.value, b.status, b.kind, b.width);
}

namespace {

// write?, width, device, address, word written or read (0: failed read).
using Access = std::tuple<bool, uint32_t, uint32_t, uint32_t, uint32_t>;
std::vector<Access> g_log;
std::vector<int32_t> g_statuses;  // answer of the n-th access of a call

int32_t next_status() { return g_log.size() < g_statuses.size() ? g_statuses[g_log.size()] : 0; }

template <typename Word>
int32_t log_read(uint32_t dev, Word addr, Word *value) {
  const int32_t status = next_status();
  const auto word = static_cast<Word>(status == 0 ? addr * 0x9E3779B1u >> 7 : 0);
  if (status == 0) *value = word;
  g_log.emplace_back(false, 8 * sizeof(Word), dev, addr, word);
  return status;
}

template <typename Word>
int32_t log_write(uint32_t dev, Word addr, Word value) {
  const int32_t status = next_status();
  g_log.emplace_back(true, 8 * sizeof(Word), dev, addr, value);
  return status;
}

const hdk_reg_ops kOps = {log_read<uint16_t>, log_write<uint16_t>, log_read<uint32_t>,
                          log_write<uint32_t>};
constexpr uint32_t kDev = 4;
constexpr size_t kRegs = 6;

template <typename Word>
struct Family;
template <>
struct Family<uint32_t> {
  using Handle = chip_field32;
  static constexpr const char *kRead = "hdk_read_reg32_field";
  static constexpr const char *kWrite = "hdk-write-reg32-field";
  static constexpr const char *kPrepare = "chip_field_prepare32";
  static constexpr const char *kHandleWrite = "chip_field_write32";
  static int32_t read(uint32_t i, uint32_t r, uint32_t e, uint32_t *v) { return hdk_read_reg32_field(kDev, i, r, e, v); }
  static int32_t write(uint32_t i, uint32_t r, uint32_t e, uint32_t v) { return hdk_write_reg32_field(kDev, i, r, e, v); }
  static chip_status prepare(Handle *h, uint32_t i, uint32_t r, uint32_t e) { return chip_field_prepare32(h, kDev, i, r, e); }
  static chip_status read(const Handle *h, uint32_t *v) { return chip_field_read32(h, v); }
  static chip_status write(const Handle *h, uint32_t v) { return chip_field_write32(h, v); }
  static chip_status strict(const Handle *h, uint32_t v) { return chip_field_write32_strict(h, v); }
};
template <>
struct Family<uint16_t> {
  using Handle = chip_field16;
  static constexpr const char *kRead = "hdk_read_reg16_field";
  static constexpr const char *kWrite = "hdk_write_reg16_field";
  static constexpr const char *kPrepare = "chip_field_prepare16";
  static constexpr const char *kHandleWrite = "chip_field_write16";
  static int32_t read(uint32_t i, uint32_t r, uint32_t e, uint16_t *v) { return hdk_read_reg16_field(kDev, i, r, e, v); }
  static int32_t write(uint32_t i, uint32_t r, uint32_t e, uint16_t v) { return hdk_write_reg16_field(kDev, i, r, e, v); }
  static chip_status prepare(Handle *h, uint32_t i, uint32_t r, uint32_t e) { return chip_field_prepare16(h, kDev, i, r, e); }
  static chip_status read(const Handle *h, uint16_t *v) { return chip_field_read16(h, v); }
  static chip_status write(const Handle *h, uint16_t v) { return chip_field_write16(h, v); }
  static chip_status strict(const Handle *h, uint16_t v) { return chip_field_write16_strict(h, v); }
};

// The log lines since the last call, with the name `from` renamed `to`.
std::vector<std::string> take_lines(const chip_test::PrintCapture &capture, size_t &seen,
                                    const std::string &from = "", const std::string &to = "") {
  std::vector<std::string> lines(capture.calls().begin() + static_cast<long>(seen), capture.calls().end());
  seen = capture.calls().size();
  for (std::string &line : lines) {
    if (!from.empty() && line.rfind("\r\n" + from, 0) == 0) line = "\r\n" + to + line.substr(2 + from.size());
  }
  return lines;
}

// The hdk status a handle's chip_status stands for.
int32_t as_hdk(chip_status s) { return s.result == CHIP_REFUSED ? -1 : s.bus; }

// Records of every shape: arrays with positive and negative strides,
// bit-indexed or not, whole registers, access types 7 and 8, fields that
// break the table's rules, other widths, bases near the end of the 16-bit
// address space. Calls name missing modules, instances, registers and
// elements too, with values that fit and that do not, and bus statuses
// (never -1) on either access.
template <typename Word>
void run_differential(uint32_t seed) {
  using F = Family<Word>;
  std::mt19937 rng(seed);
  const auto draw = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const uint32_t width = 8 * sizeof(Word);
  chip_test::PrintCapture capture;
  size_t seen = 0;
  size_t refusals = 0;
  size_t bus_errors = 0;
  size_t successes = 0;
  for (int table_round = 0; table_round < 300; ++table_round) {
    hdk_reg_info regs[kRegs];
    for (hdk_reg_info &reg : regs) {
      const uint32_t reg_bytes = draw(8) == 0 ? 1 + draw(8) : sizeof(Word);
      const uint32_t bits = draw(6) == 0 ? width : 1 + draw(draw(10) == 0 ? width + 4 : width);
      const uint32_t start = draw(10) == 0 ? draw(2 * width) : draw(width - std::min(bits, width) + 1);
      const int32_t stride = static_cast<int32_t>(draw(2 * width + 1)) - static_cast<int32_t>(width);
      uint32_t flags = draw(3) == 0 ? HDK_REG_BIT_INDEXED : 0;
      if (draw(8) == 0) flags |= HDK_REG_WHOLE;
      const uint32_t type = draw(4);
      flags |= HDK_REG_ACCESS_TYPE(type == 0 ? 7 : type == 1 ? 8 : draw(128));
      reg = HDK_REG_INFO(draw(64) * 2, reg_bytes, start, bits, draw(12) == 0 ? 0 : 1 + draw(40),
                         stride, flags);
    }
    const uint32_t base = draw(2) == 0 ? 0xFFF0u + draw(0x20) : draw(0x100000) * 2;
    const hdk_reg_inst inst = {base, 0, 0, kRegs, regs};
    const hdk_reg_module module = {0, 1, &inst, 0, 0};
    hdk_chip_reg_table table = {0, 1, &module, {0, 0, 0, 0, 0}, &kOps};
    ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
    for (int call = 0; call < 40; ++call) {
      const uint32_t inst_index = draw(20) == 0 ? 1 : 0;
      const uint32_t reg_id = HDK_REG_ID(draw(20) == 0 ? 1 : 0, draw(kRegs + 1));
      const uint32_t elem = draw(45);
      const auto value = static_cast<Word>(draw(3) == 0 ? rng() : rng() & ((1u << draw(width)) - 1));
      g_statuses = {draw(4) == 0 ? static_cast<int32_t>(1 + draw(64)) : 0,
                    draw(4) == 0 ? static_cast<int32_t>(0x100 << draw(8)) : 0};
      SCOPED_TRACE(testing::Message() << "seed " << seed << " table " << table_round << " reg_id 0x"
                                      << std::hex << reg_id << " elem " << std::dec << elem);
      // Read: the field function, then prepare and read through the handle.
      Word by_function = 0x5A;
      Word by_handle = 0x5A;
      g_log.clear();
      const int32_t read_result = F::read(inst_index, reg_id, elem, &by_function);
      const std::vector<Access> read_accesses = g_log;
      const auto read_lines = take_lines(capture, seen, F::kRead, F::kPrepare);
      g_log.clear();
      typename F::Handle handle{};
      const chip_status prepared = F::prepare(&handle, inst_index, reg_id, elem);
      EXPECT_EQ(take_lines(capture, seen), read_lines);
      EXPECT_TRUE(g_log.empty());
      EXPECT_EQ(prepared.result == CHIP_REFUSED, read_result == -1);
      if (prepared.result == CHIP_REFUSED) {
        ++refusals;
        g_log.clear();
        EXPECT_EQ(F::write(inst_index, reg_id, elem, value), -1);
        EXPECT_TRUE(g_log.empty());
        take_lines(capture, seen);
        continue;
      }
      EXPECT_EQ(prepared.result, CHIP_OK);
      const chip_status read = F::read(&handle, &by_handle);
      EXPECT_EQ(as_hdk(read), read_result);
      EXPECT_EQ(read.result, read_result == 0 ? CHIP_OK : CHIP_BUS_ERROR);
      EXPECT_EQ(g_log, read_accesses);
      EXPECT_EQ(by_handle, by_function);
      // Write: the same accesses, result and refusal line.
      g_log.clear();
      const int32_t write_result = F::write(inst_index, reg_id, elem, value);
      const std::vector<Access> write_accesses = g_log;
      const auto write_lines = take_lines(capture, seen, F::kWrite, F::kHandleWrite);
      g_log.clear();
      const chip_status written = F::write(&handle, value);
      EXPECT_EQ(as_hdk(written), write_result);
      ++(written.result == CHIP_OK ? successes : written.result == CHIP_BUS_ERROR ? bus_errors : refusals);
      EXPECT_EQ(g_log, write_accesses);
      EXPECT_EQ(take_lines(capture, seen), write_lines);
      // Strict: stops after a failed read, otherwise the same write.
      g_log.clear();
      const chip_status strict = F::strict(&handle, value);
      const bool read_failed = !g_log.empty() && !std::get<0>(g_log[0]) && g_statuses[0] != 0;
      if (read_failed) {
        EXPECT_EQ(g_log.size(), 1u);
        EXPECT_EQ(strict.result, CHIP_BUS_ERROR);
        EXPECT_EQ(strict.bus, g_statuses[0]);
      } else {
        EXPECT_EQ(as_hdk(strict), write_result);
        EXPECT_EQ(g_log, write_accesses);
      }
      take_lines(capture, seen);
    }
  }
  // Every branch is reached often.
  EXPECT_GT(std::min({refusals, bus_errors, successes}), 300u);
  g_hdk_chip_reg[kDev] = nullptr;
}

TEST(FieldHandle, MatchesFieldFunctions32) {
  for (uint32_t seed = 1; seed <= 4; ++seed) run_differential<uint32_t>(seed);
}

TEST(FieldHandle, MatchesFieldFunctions16) {
  for (uint32_t seed = 1; seed <= 4; ++seed) run_differential<uint16_t>(seed);
}

// The line card's MAC control register: enable (bit 0), speed (bits 4-6)
// and mode (bits 8-9) of 0x100; a status nibble (bits 0-3 of 0x104); a
// write-only trigger; a 16-bit register with two fields.
const hdk_reg_info kSimRegs[] = {
    HDK_REG32_FIELD(0x0, 0, 1),     HDK_REG32_FIELD(0x0, 4, 3),
    HDK_REG32_FIELD(0x0, 8, 2),     HDK_REG32_FIELD(0x4, 0, 4),
    HDK_REG_INFO(0x8, 4, 0, 4, 1, 0, HDK_REG_WRITE_ONLY),
    HDK_REG16_FIELD(0x10, 0, 4),    HDK_REG16_FIELD(0x10, 12, 4),
    HDK_REG32_WHOLE(0x20)};
const hdk_reg_inst kSimInst = {0x100, 0, 0, 8, kSimRegs};
const hdk_reg_module kSimModule = {0, 1, &kSimInst, 0, 0};

struct SimChip : testing::Test {
  void SetUp() override {
    (void)chip_test::AllocCounter::available();  // its first call allocates
    chip_sim_reset();
    ASSERT_EQ(hdk_register_reg(kDev, &table), 0);
    for (uint32_t i = 0; i < 8; ++i) {
      if (i < 5 || i == 7) {
        ASSERT_EQ(chip_field_prepare32(&f[i], kDev, 0, i, 0).result, CHIP_OK);
      }
    }
    ASSERT_EQ(chip_field_prepare16(&h[0], kDev, 0, 5, 0).result, CHIP_OK);
    ASSERT_EQ(chip_field_prepare16(&h[1], kDev, 0, 6, 0).result, CHIP_OK);
  }
  void TearDown() override { g_hdk_chip_reg[kDev] = nullptr; }
  std::vector<chip_sim_access> accesses() const {
    return {chip_sim_log(), chip_sim_log() + chip_sim_log_count()};
  }
  hdk_chip_reg_table table = {0, 1, &kSimModule, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
  chip_field32 f[8] = {};
  chip_field16 h[2] = {};
};

// Exactly one read and one write; the bits outside the fields keep their
// value. A failed read writes nothing. Refusals: each its line, no access.
TEST_F(SimChip, MergedWriteIsOneReadModifyWrite) {
  chip_sim_poke(kDev, 0x100, 0xFFFF0000u);
  const chip_field32 *fields[] = {&f[0], &f[1], &f[2]};
  const uint32_t values[] = {1, 5, 2};
  const chip_field16 *halves[] = {&h[1], &h[0]};
  const uint16_t half_values[] = {0xA, 0x3};
  {
    const chip_test::AllocCounter counter;
    const chip_status merged32 = chip_field_write32_merged(fields, values, 3);
    const chip_status merged16 = chip_field_write16_merged(halves, half_values, 2);
    EXPECT_TRUE(counter.allocations() == 0 || !chip_test::AllocCounter::available());
    EXPECT_TRUE(merged32.result == CHIP_OK && merged16.result == CHIP_OK);
  }
  EXPECT_EQ(accesses(), (std::vector<chip_sim_access>{
                            {kDev, 0x100, 0xFFFF0000u, 0, CHIP_SIM_READ, 32},
                            {kDev, 0x100, 0xFFFF0251u, 0, CHIP_SIM_WRITE, 32},
                            {kDev, 0x110, 0, 0, CHIP_SIM_READ, 16},
                            {kDev, 0x110, 0xA003, 0, CHIP_SIM_WRITE, 16}}));
  chip_sim_log_clear();
  chip_sim_fail_next(1, 6);
  const chip_status failed = chip_field_write32_merged(fields, values, 3);
  EXPECT_TRUE(failed.result == CHIP_BUS_ERROR && failed.bus == 6);
  EXPECT_EQ(chip_sim_log_count(), 1u) << "no write after a failed read";

  chip_sim_log_clear();
  chip_test::PrintCapture capture;
  const chip_field32 *other_reg[] = {&f[0], &f[3]};
  const chip_field32 *overlap[] = {&f[1], &f[2], &f[1]};
  const chip_field32 *whole[] = {&f[7]};
  const chip_field32 *with_null[] = {&f[0], nullptr};
  const uint32_t too_wide[] = {1, 4};
  const uint32_t ones[] = {1, 1, 1};
  const std::vector<int32_t> refused = {
      chip_field_write32_merged(other_reg, values, 2).result,
      chip_field_write32_merged(overlap, ones, 3).result,
      chip_field_write32_merged(whole, values, 1).result,
      chip_field_write32_merged(fields + 1, too_wide, 2).result,
      chip_field_write32_merged(with_null, values, 2).result,
      chip_field_write32_merged(fields, values, 0).result,
      chip_field_write32_merged(nullptr, values, 1).result};
  EXPECT_EQ(refused, std::vector<int32_t>(refused.size(), CHIP_REFUSED));
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{
                "\r\nchip_field_write32_merged(4, 0, 0x3, 0) error code 0xffffffff.",
                "\r\nchip_field_write32_merged(4, 0, 0x1, 0) error code 0xffffffff.",
                "\r\nchip_field_write32_merged(4, 0, 0x7, 0) error code 0xffffffff.",
                "\r\nchip_field_write32_merged(4, 0, 0x2, 0, 4) error code 0xffffffff."}));
  EXPECT_EQ(chip_sim_log_count(), 0u);
}

// A clock that advances only by the sleeps it is asked for; after
// `ready_after` sleeps the simulated status nibble becomes 0x3.
struct FakeClock {
  uint64_t now = 1000;
  std::vector<uint32_t> sleeps;
  size_t ready_after = SIZE_MAX;
  static uint64_t read_now(void *self) { return static_cast<FakeClock *>(self)->now; }
  static void sleep(void *self, uint32_t us) {
    auto *clock = static_cast<FakeClock *>(self);
    clock->sleeps.push_back(us);
    clock->now += us;
    if (clock->sleeps.size() == clock->ready_after) chip_sim_poke(kDev, 0x104, 0x3);
  }
  chip_poll_clock poll_clock() { return {&read_now, &sleep, this}; }
};

// Polling reads until the value shows, sleeping exactly the interval in
// between; at the timeout it stops after a read made once the time passed,
// with the last value read; a bus error stops it at once.
TEST_F(SimChip, PollStopsAtValueOrTimeout) {
  FakeClock clock;
  clock.sleeps.reserve(16);
  const chip_poll_clock poll_clock = clock.poll_clock();
  uint32_t last = 0;
  chip_sim_poke(kDev, 0x104, 0x1);
  clock.ready_after = 2;
  size_t allocations = 0;
  chip_status ready{};
  {
    const chip_test::AllocCounter counter;
    ready = chip_field_poll32(&f[3], 0x3, 250, 10000, &poll_clock, &last);
    allocations = counter.allocations();
  }
  EXPECT_EQ(ready.result, CHIP_OK);
  EXPECT_EQ(last, 0x3u);
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(2, 250));
  EXPECT_EQ(chip_sim_log_count(), 3u);
  if (chip_test::AllocCounter::available()) {
    EXPECT_EQ(allocations, 0u);
  }
  chip_sim_poke(kDev, 0x104, 0x1);
  clock.sleeps.clear();
  clock.ready_after = SIZE_MAX;
  const chip_status timed_out = chip_field_poll32(&f[3], 0x3, 250, 1000, &poll_clock, &last);
  EXPECT_EQ(timed_out.result, CHIP_TIMEOUT);
  EXPECT_EQ(last, 0x1u);
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(4, 250));
  EXPECT_EQ(chip_sim_log_count(), 3u + 5u) << "reads at 0, 250, 500, 750 and 1000 us";
  for (size_t i = 0; i < chip_sim_log_count(); ++i) {
    EXPECT_TRUE(chip_sim_log()[i].kind == CHIP_SIM_READ && chip_sim_log()[i].addr == 0x104);
  }

  clock.sleeps.clear();
  chip_sim_log_clear();
  chip_sim_fail_next(1, 0);
  chip_sim_fail_next(1, 9);
  uint16_t last16 = 7;
  const chip_status failed = chip_field_poll16(&h[0], 0x5, 10, 1000, &poll_clock, &last16);
  EXPECT_TRUE(failed.result == CHIP_BUS_ERROR && failed.bus == 9);
  EXPECT_EQ(last16, 0u);
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{10});
  EXPECT_EQ(chip_sim_log_count(), 2u);
  // Zero timeout: one read. A value too wide for the field: refused.
  chip_sim_log_clear();
  EXPECT_EQ(chip_field_poll32(&f[3], 0x2, 10, 0, &poll_clock, nullptr).result, CHIP_TIMEOUT);
  EXPECT_EQ(chip_field_poll32(&f[3], 0x10, 10, 0, &poll_clock, nullptr).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_poll32(nullptr, 0, 10, 0, &poll_clock, nullptr).result, CHIP_REFUSED);
  EXPECT_EQ(chip_sim_log_count(), 1u);
}

// The OS layer's clock by default: a real sleep of the interval.
TEST_F(SimChip, PollDefaultsToTheOsClock) {
  uint32_t last = 9;
  const uint64_t start = hdk_time_usecs();
  EXPECT_EQ(chip_field_poll32(&f[3], 0x1, 2000, 5000, nullptr, &last).result, CHIP_TIMEOUT);
  EXPECT_GE(hdk_time_usecs() - start, 5000u);
  EXPECT_EQ(last, 0u);
  EXPECT_GE(chip_sim_log_count(), 2u);
  EXPECT_LE(chip_sim_log_count(), 4u) << "reads at 0, 2000, 4000 and 6000 us at most";
}

// Handle refusals that the differential test cannot reach: null pointers,
// missing access functions; every success path without the heap.
TEST_F(SimChip, NullsAndMissingAccessFunctions) {
  chip_test::PrintCapture capture;
  uint32_t word = 0;
  uint16_t half = 0;
  EXPECT_EQ(chip_field_prepare32(nullptr, kDev, 0, 0, 0).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_read32(nullptr, &word).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_read32(&f[0], nullptr).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_read16(&h[0], nullptr).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_write32(nullptr, 0).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_write16_strict(nullptr, 0).result, CHIP_REFUSED);
  const chip_field32 never_prepared{};
  const chip_field32 *unprepared[] = {&never_prepared};
  const uint32_t one = 1;
  EXPECT_EQ(chip_field_read32(&never_prepared, &word).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_write32(&never_prepared, 0).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_write32_merged(unprepared, &one, 1).result, CHIP_REFUSED);
  EXPECT_EQ(chip_field_poll32(&never_prepared, 0, 1, 1, nullptr, nullptr).result, CHIP_REFUSED);
  const hdk_reg_ops no_read = {nullptr, chip_sim_reg_ops.write16, nullptr, chip_sim_reg_ops.write32};
  table.ops_table = &no_read;
  chip_field32 field{};
  EXPECT_EQ(chip_field_prepare32(&field, kDev, 0, 4, 0).result, CHIP_REFUSED);
  table.ops_table = nullptr;
  EXPECT_EQ(chip_field_prepare16(&h[0], kDev, 0, 5, 0).result, CHIP_REFUSED);
  EXPECT_EQ(capture.calls(),
            (std::vector<std::string>{"\r\nchip_field_prepare32(4, 0, 0x4, 0) error code 0xffffffff.",
                                      "\r\nchip_field_prepare16(4, 0, 0x5, 0) error code 0xffffffff."}));
  table.ops_table = &chip_sim_reg_ops;
  const chip_test::AllocCounter counter;
  EXPECT_EQ(chip_field_prepare32(&field, kDev, 0, 4, 0).result, CHIP_OK);
  EXPECT_EQ(chip_field_write32(&field, 0xA).result, CHIP_OK);
  EXPECT_EQ(chip_field_write32_strict(&f[1], 3).result, CHIP_OK);
  EXPECT_EQ(chip_field_read32(&f[1], &word).result, CHIP_OK);
  EXPECT_EQ(chip_field_write16(&h[1], 0xC).result, CHIP_OK);
  EXPECT_EQ(chip_field_read16(&h[1], &half).result, CHIP_OK);
  if (chip_test::AllocCounter::available()) {
    EXPECT_EQ(counter.allocations(), 0u);
  }
  EXPECT_TRUE(word == 3 && half == 0xC && chip_sim_peek(kDev, 0x108) == 0xA);
  EXPECT_EQ(chip_sim_log()[0].kind, CHIP_SIM_WRITE) << "access type 7: no read first";
}

// Unregistering empties the slot only for the table that is there.
TEST_F(SimChip, Unregister) {
  hdk_chip_reg_table other = table;
  EXPECT_EQ(chip_unregister_reg(HDK_MAX_DEV_NUM, &table), 1);
  EXPECT_EQ(chip_unregister_reg(kDev, nullptr), -1);
  EXPECT_EQ(chip_unregister_reg(kDev, &other), -1);
  EXPECT_EQ(g_hdk_chip_reg[kDev], &table);
  hdk_register_reg_chip_id(kDev, [](uint32_t) { return HDK_MAX_CHIP_NUM; });
  EXPECT_EQ(chip_unregister_reg(kDev, &table), -1);
  hdk_register_reg_chip_id(kDev, nullptr);
  EXPECT_EQ(chip_unregister_reg(kDev, &table), 0);
  EXPECT_EQ(g_hdk_chip_reg[kDev], nullptr);
  chip_test::PrintCapture capture;
  uint32_t word = 0;
  chip_field32 field{};
  EXPECT_EQ(hdk_read_reg32_field(kDev, 0, 0, 0, &word), -1);
  EXPECT_EQ(chip_field_prepare32(&field, kDev, 0, 0, 0).result, CHIP_REFUSED);
  EXPECT_TRUE(capture.calls().empty());
  EXPECT_EQ(chip_unregister_reg(kDev, &table), -1);
}

}  // namespace
