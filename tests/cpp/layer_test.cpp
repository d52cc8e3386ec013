// SPDX-License-Identifier: Apache-2.0
// The C++ layer on the simulated chip: registration that unregisters, typed
// fields whose writes are exact bus sequences (merged writes one read and
// one write), state-carrying bus callbacks, and the bounds and J0/J1
// wrappers; no heap on the field paths. Locks, semaphores and threads:
// layer_concurrency_test.cpp.
#include <chip_util/chip_util.hpp>
#include <chip_util/sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 6;

// Register 0x200: enable bit 0, speed bits 4-6, a read-only state in bits
// 8-9; 0x204 is write-only (access type 7); 0x210 is 16-bit.
const hdk_reg_info kRegs[] = {chip::reg_info(0x0, 4, 0, 1, 1, 0, 0),
                              chip::reg_info(0x0, 4, 4, 3, 1, 0, 0),
                              chip::reg_info(0x0, 4, 8, 2, 1, 0, 0),
                              chip::reg_info(0x4, 4, 0, 4, 1, 0, chip::write_only),
                              chip::reg_info(0x10, 2, 12, 4, 4, 2, 0),
                              chip::reg_info(0x20, 16, 20, 40, 1, 0, 0)};
const hdk_reg_inst kInst = {0x200, 0, 0, 6, kRegs};
const hdk_reg_module kModules[] = {{0, 1, &kInst, 0, 0}};

using ctrl = chip::reg<uint32_t, 0>;
using enable = chip::field<ctrl, 0, 0, 1>;
using speed = chip::field<ctrl, 1, 4, 3>;
using state = chip::field<ctrl, 2, 8, 2, chip::access::read_only>;
using trigger = chip::field<chip::reg<uint32_t, 0, struct trigger_tag>, 3, 0, 4>;
using lane_mode = chip::field<chip::reg<uint16_t, 0>, 4, 12, 4>;
using wrong_start = chip::field<ctrl, 1, 5, 3>;

std::vector<chip_sim_access> take_log() {
  std::vector<chip_sim_access> log(chip_sim_log(), chip_sim_log() + chip_sim_log_count());
  chip_sim_log_clear();
  return log;
}

// (write?, address, value) of each access.
std::vector<std::tuple<bool, uint32_t, uint32_t>> brief(const std::vector<chip_sim_access> &log) {
  std::vector<std::tuple<bool, uint32_t, uint32_t>> out;
  for (const auto &a : log) out.emplace_back(a.kind == CHIP_SIM_WRITE, a.addr, a.value);
  return out;
}

struct CppLayer : testing::Test {
  void SetUp() override {
    (void)chip_test::AllocCounter::available();  // its first call allocates
    chip_sim_reset();
  }
  hdk_chip_reg_table table = {0, 1, kModules, {0, 0, 0, 0, 0}, &chip_sim_reg_ops};
};

TEST_F(CppLayer, RegistrationUnregistersOnlyItsOwnTable) {
  {
    const chip::registration reg(kDev, table);
    EXPECT_TRUE(reg.ok());
    EXPECT_EQ(g_hdk_chip_reg[kDev], &table);
  }
  EXPECT_EQ(g_hdk_chip_reg[kDev], nullptr);
  hdk_chip_reg_table later = table;
  {
    chip::registration reg(kDev, table);
    chip::registration moved = std::move(reg);
    EXPECT_FALSE(reg.ok());
    ASSERT_EQ(hdk_register_reg(kDev, &later), 0);
  }
  EXPECT_EQ(g_hdk_chip_reg[kDev], &later) << "a replacing table stays";
  EXPECT_EQ(chip_unregister_reg(kDev, &later), 0);
  const chip::registration refused(HDK_MAX_DEV_NUM, table);
  EXPECT_EQ(refused.status().error(), chip::errc::refused);
}

// Typed writes are read-modify-writes with constant masks; the merged
// write is one read and one write; write-only registers are not read; a
// failed read stops a strict write; run-time values are checked.
TEST_F(CppLayer, TypedFieldsOnTheBus) {
  const chip::registration reg(kDev, table);
  auto s = chip::typed<speed>::prepare(kDev, 0);
  auto st = chip::typed<state>::prepare(kDev, 0);
  auto t = chip::typed<trigger>::prepare(kDev, 0);
  auto lane = chip::typed<lane_mode>::prepare(kDev, 0, 3);
  ASSERT_TRUE(s && st && t && lane);
  const auto mismatched = chip::typed<wrong_start>::prepare(kDev, 0);
  EXPECT_EQ(mismatched.error(), chip::errc::mismatch);
  EXPECT_EQ(mismatched->read().error(), chip::errc::refused) << "an empty handle";
  EXPECT_EQ(mismatched->write(wrong_start::value<1>).error(), chip::errc::refused);
  chip_sim_poke(kDev, 0x200, 0xFFFF0201u);
  const chip_test::AllocCounter counter;
  const bool written = s->write(speed::value<5>) && s->write_merged(enable::value<0>, speed::of(2)) &&
                       t->write<0xA>() && lane->write(lane_mode::of(0x9));
  const auto read = st->read();
  const size_t allocations = counter.allocations();
  chip_test::PrintCapture capture;
  const chip::status too_wide = s->write(speed::of(8));
  const chip::status merged_too_wide = s->write_merged(enable::of(2), speed::of(9));
  EXPECT_EQ(merged_too_wide.error(), chip::errc::refused);
  EXPECT_EQ(capture.calls(), (std::vector<std::string>{
                                 "\r\nchip_field_write32(6, 0, 0x1, 0, 8) error code 0xffffffff.",
                                 "\r\nchip_field_write32(6, 0, 0x0, 0, 2) error code 0xffffffff."}));
  EXPECT_TRUE(written);
  EXPECT_EQ(too_wide.error(), chip::errc::refused);
  EXPECT_TRUE(read.ok() && read.value() == 2u);
  if (chip_test::AllocCounter::available()) {
    EXPECT_EQ(allocations, 0u);
  }
  using A = std::tuple<bool, uint32_t, uint32_t>;
  EXPECT_EQ(brief(take_log()), (std::vector<A>{{false, 0x200, 0xFFFF0201u},
                                               {true, 0x200, 0xFFFF0251u},
                                               {false, 0x200, 0xFFFF0251u},
                                               {true, 0x200, 0xFFFF0220u},
                                               {true, 0x204, 0xA},
                                               {false, 0x216, 0},
                                               {true, 0x216, 0x9000},
                                               {false, 0x200, 0xFFFF0220u}}));
  chip_sim_fail_next(1, 5);
  const chip::status strict = s->write_strict(speed::value<1>);
  EXPECT_TRUE(strict.error() == chip::errc::bus_error && strict.bus() == 5);
  chip_sim_fail_next(1, 3);
  const chip::status loose = s->write(speed::value<1>);
  EXPECT_EQ(loose.bus(), 3);
  EXPECT_EQ(take_log().size(), 3u) << "strict: the read only; loose: read and write";
  // Untyped handles and polling with a chrono interval on a recorded clock.
  auto h = chip::field32::prepare(kDev, 0, speed::id);
  ASSERT_TRUE(h);
  struct Clock {
    uint64_t now = 0;
    std::vector<uint32_t> sleeps;
  } clock;
  const chip_poll_clock poll_clock = {
      [](void *c) { return static_cast<Clock *>(c)->now; },
      [](void *c, uint32_t us) {
        static_cast<Clock *>(c)->sleeps.push_back(us);
        static_cast<Clock *>(c)->now += us;
      },
      &clock};
  const auto polled = h->poll(3, std::chrono::microseconds(1500), std::chrono::milliseconds(3), &poll_clock);
  EXPECT_EQ(polled.error(), chip::errc::timeout);
  EXPECT_EQ(polled.value(), 1u);
  EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1500, 1500}));
}

// Bus callbacks with captured state, per device; an unbound device answers
// CHIP_BUS_UNBOUND.
TEST_F(CppLayer, LambdaBusCarriesState) {
  std::array<uint32_t, 16> bank{};
  std::vector<uint32_t> writes;
  writes.reserve(8);
  chip::bus_lambdas bus{[&](uint32_t, uint32_t addr, uint32_t &v) { v = bank[addr % 16]; return 0; },
                        [&](uint32_t, uint32_t addr, uint32_t v) { writes.push_back(addr); bank[addr % 16] = v; return 0; },
                        [&](uint32_t, uint16_t, uint16_t &v) { v = 0; return 7; },
                        [&](uint32_t, uint16_t, uint16_t) { return 7; }};
  hdk_chip_reg_table own = {0, 1, kModules, {0, 0, 0, 0, 0}, chip::bus_ops<decltype(bus)>()};
  const chip::registration reg(kDev, own);
  auto s = chip::typed<speed>::prepare(kDev, 0);
  ASSERT_TRUE(s);
  {
    const chip::bus_binding<decltype(bus)> binding(kDev, bus);
    EXPECT_TRUE(s->write(speed::value<6>).ok());
    EXPECT_EQ(bank[0x200 % 16], 0x60u);
    EXPECT_EQ(writes, std::vector<uint32_t>{0x200});
    EXPECT_EQ(chip::typed<lane_mode>::prepare(kDev, 0)->read().bus(), 7);
  }
  const auto unbound = s->read();
  EXPECT_EQ(unbound.bus(), chip::CHIP_BUS_UNBOUND);
}

// Spans: sizes checked against the record before anything is copied; the
// J0/J1 codec round trip through fixed-size spans.
TEST_F(CppLayer, SpansForImagesBoundsAndTraces) {
  const chip::registration reg(kDev, table);
  std::array<uint32_t, 4> image = {0, 0, 0x0ABCDEF1, 0x23456789};
  std::array<uint32_t, 2> field = {7, 7};
  chip_test::PrintCapture capture;
  EXPECT_EQ(chip::read_wide(kDev, 0, 5, 0, std::span(image).first(3), field).error(), chip::errc::refused);
  EXPECT_EQ(chip::read_wide(kDev, 0, 5, 0, image, std::span(field).first(1)).error(), chip::errc::refused);
  EXPECT_EQ(field, (std::array<uint32_t, 2>{7, 7}));
  EXPECT_TRUE(chip::read_wide(kDev, 0, 5, 0, image, field).ok());
  EXPECT_EQ(field, (std::array<uint32_t, 2>{0xAB, 0xCDEF1234}));
  EXPECT_TRUE(chip::write_wide(kDev, 0, 5, 0, image, std::array<uint32_t, 2>{0x12, 0x3456789A}).ok());
  EXPECT_EQ(image, (std::array<uint32_t, 4>{0, 0, 0x01234567, 0x89A56789}));
  EXPECT_EQ(chip::read_wide(kDev, 0, 9, 0, image, field).error(), chip::errc::refused);
  EXPECT_EQ(capture.calls(), std::vector<std::string>{"\r\nhdk_access_reg_field(6, 0, 0x9, 0) error code 0x8."});

  std::array<std::byte, 4> dest{};
  const std::array<std::byte, 5> five{};
  EXPECT_NE(chip::copy_bytes(dest, five), 0);
  std::array<char, 4> text{};
  EXPECT_NE(chip::copy_text(text, "long", 4), 0);
  EXPECT_EQ(chip::copy_text(text, "abc", 3), 0);
  EXPECT_STREQ(text.data(), "abc");

  const std::array<uint8_t, 15> name = {'L', 'I', 'N', 'E', '-', 'C', 'A', 'R', 'D', ' ', 'P', 'O', 'R', 'T', '1'};
  std::array<uint8_t, 16> frame{};
  std::array<uint8_t, 64> pattern{};
  std::array<uint8_t, 64> decoded{};
  EXPECT_EQ(chip::encode_trace(16, std::span(name).first(14), frame), -1);
  ASSERT_EQ(chip::encode_trace(16, name, frame), 0);
  ASSERT_EQ(chip::assemble_trace(16, frame, pattern), 0);
  std::rotate(pattern.begin(), pattern.begin() + 21, pattern.end());
  const auto trace = chip::decode_trace(pattern, decoded);
  EXPECT_TRUE(trace.ok() && trace.value() == 16u);
  EXPECT_EQ(std::memcmp(decoded.data(), name.data(), name.size()), 0);
}

}  // namespace
