// SPDX-License-Identifier: Apache-2.0
// chip_check_reg_table: random tables against a brute-force model of the
// rules (every element and every byte enumerated), with the exact messages
// in their order; a clean table costs no allocation and the table is never
// changed.
#include <chip_util/reg_check.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/alloc_counter.hpp"
#include "support/print_capture.hpp"

namespace {

constexpr uint32_t kDev = 5;

std::string format(const char *text, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *text, ...) {
  char out[512];
  va_list args;
  va_start(args, text);
  std::vsnprintf(out, sizeof out, text, args);
  va_end(args);
  return std::string("\r\nchip_check_reg_table: ") + out;
}

struct Rec {  // a record's fields, as drawn
  uint32_t offset, bytes, start, bits, elems;
  int32_t stride;
  bool bit_indexed, whole;
};

hdk_reg_info pack(const Rec &r) {
  return HDK_REG_INFO(r.offset, r.bytes, r.start, r.bits, r.elems, r.stride,
                      (r.bit_indexed ? HDK_REG_BIT_INDEXED : 0u) | (r.whole ? HDK_REG_WHOLE : 0u));
}

using Span = std::pair<int64_t, int64_t>;  // first byte, length

int64_t position(const Rec &r, int64_t e) { return int64_t{r.start} + int64_t{r.stride} * e; }

bool self_overlapping(const Rec &r) {
  const int64_t s = r.stride < 0 ? -int64_t{r.stride} : r.stride;
  return (r.whole || !r.bit_indexed) && r.elems > 1 && s != 0 && s < r.bytes;
}

// Every register span of every element, by the documented rule.
std::vector<Span> spans(const Rec &r) {
  std::vector<Span> out;
  const int64_t bytes = r.bytes, width = 8 * bytes;
  if (!r.whole && r.bit_indexed) {
    if ((bytes != 2 && bytes != 4) || r.elems <= 1) return {{r.offset, bytes}};
    int64_t low = INT64_MAX, high = INT64_MIN;
    for (int64_t e = 0; e < r.elems; ++e) {
      low = std::min(low, std::max<int64_t>(0, position(r, e)));
      high = std::max(high, std::max<int64_t>(0, position(r, e) + r.bits - 1));
    }
    for (int64_t k = low / width; k <= high / width; ++k) out.push_back({r.offset + k * bytes, bytes});
    return out;
  }
  for (int64_t e = 0; e < r.elems; ++e) out.push_back({r.offset + int64_t{r.stride} * e, bytes});
  return out;
}

bool partial(Span a, Span b) {
  return a.first < b.first + b.second && b.first < a.first + a.second && a != b;
}

void expect_record(std::vector<std::string> &out, uint32_t m, uint32_t i, uint32_t r,
                   const std::vector<Rec> &recs) {
  const Rec &x = recs[r];
  const auto say = [&](const std::string &what) {
    out.push_back(format("module %u instance %u register %u: ", m, i, r) + what);
  };
  if (x.elems == 0) say("elem_num is 0, so no element can be accessed");
  if (x.bytes == 0) say("reg_bytes is 0");
  if (!x.whole && x.bytes != 0) {
    const int64_t width = 8 * int64_t{x.bytes};
    if (x.bits == 0) say("field_bits is 0");
    const int64_t elements = x.bit_indexed ? x.elems : std::min(x.elems, 1u);
    for (int64_t e = 0; e < elements; ++e) {
      if (position(x, e) < 0) {
        say("element " + std::to_string(e) + ": bit position " + std::to_string(position(x, e)) +
            " lies below bit 0");
        break;
      }
    }
    for (int64_t e = 0; e < elements; ++e) {
      const int64_t p = x.bit_indexed ? position(x, e) : x.start;
      if (p >= 0 && p % width + x.bits > width) {
        say("element " + std::to_string(e) + ": bits " + std::to_string(p % width) + " to " +
            std::to_string(p % width + x.bits - 1) + " lie past its register of " +
            std::to_string(width) + " bits");
        break;
      }
    }
  }
  if (self_overlapping(x)) {
    say("elements overlap: stride " + std::to_string(x.stride) + " is less than reg_bytes " +
        std::to_string(x.bytes));
  }
  const auto usable = [](const Rec &y) { return y.elems != 0 && y.bytes != 0 && !self_overlapping(y); };
  if (!usable(x)) return;
  for (uint32_t q = 0; q < r; ++q) {
    if (!usable(recs[q])) continue;
    bool found = false;
    for (const Span &a : spans(x))
      for (const Span &b : spans(recs[q])) found = found || partial(a, b);
    if (found) say("overlaps register " + std::to_string(q));
  }
}

struct Drawn {
  std::vector<std::vector<Rec>> pools;  // register arrays
  std::vector<std::vector<hdk_reg_info>> packed;
  std::vector<std::vector<hdk_reg_inst>> insts;
  std::vector<hdk_reg_module> modules;
  hdk_reg_ops ops[3] = {};
  hdk_chip_reg_table table = {};
  uint32_t ops_num = 0;
  std::vector<std::string> expected;
};

void draw(std::mt19937 &rng, Drawn &d) {
  const auto below = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  static constexpr uint32_t kBytes[] = {4, 4, 4, 2, 2, 8, 3, 0};
  for (int p = 0; p < 4; ++p) {
    std::vector<Rec> pool(1 + below(5));
    for (Rec &r : pool) {
      r.bytes = kBytes[below(8)];
      r.offset = 2 * below(16);
      r.whole = below(5) == 0;
      r.bit_indexed = below(2) == 0;
      r.elems = below(8) == 0 ? 0 : 1 + below(below(2) == 0 ? 1 : 80);
      r.stride = static_cast<int32_t>(below(25)) - 12;
      r.start = below(4) == 0 ? below(70) : below(8 * std::max(r.bytes, 1u));
      r.bits = below(12) == 0 ? 0 : 1 + below(below(3) == 0 ? 40 : 8);
    }
    d.pools.push_back(pool);
  }
  for (const auto &pool : d.pools) {
    d.packed.emplace_back();
    for (const Rec &r : pool) d.packed.back().push_back(pack(r));
  }
  d.ops_num = below(4);
  const uint32_t module_num = below(4);
  d.insts.resize(module_num);
  for (uint32_t m = 0; m < module_num; ++m) {
    for (uint32_t i = 0, n = 1 + below(3); i < n; ++i) {
      const uint32_t p = below(4);
      const bool null_regs = below(12) == 0;
      d.insts[m].push_back({0x1000u * m, 0, 0, null_regs ? 1 + below(3) : static_cast<uint32_t>(d.pools[p].size()),
                            null_regs ? nullptr : d.packed[p].data()});
    }
    d.modules.push_back({0, static_cast<uint32_t>(d.insts[m].size()),
                         below(12) == 0 ? nullptr : d.insts[m].data(), 0, below(4)});
  }
  const bool null_modules = module_num != 0 && below(12) == 0;
  const bool null_ops = below(6) == 0;
  d.table = {0, module_num, null_modules ? nullptr : d.modules.data(), {0, 0, 0, 0, 0},
             null_ops ? nullptr : d.ops};

  // The model, in the documented order.
  if (null_modules) d.expected.push_back(format("modules is null but module_num is %u", module_num));
  if (null_ops && d.ops_num != 0) d.expected.push_back(format("ops_table is null but ops_num is %u", d.ops_num));
  for (uint32_t m = 0; m < module_num && !null_modules; ++m) {
    const hdk_reg_module &mod = d.modules[m];
    if (d.ops_num != 0 && mod.ops_index >= d.ops_num)
      d.expected.push_back(format("module %u: ops_index %u is not below ops_num %u", m, mod.ops_index, d.ops_num));
    if (mod.insts == nullptr) {
      d.expected.push_back(format("module %u: insts is null but inst_num is %u", m, mod.inst_num));
      continue;
    }
    for (uint32_t i = 0; i < mod.inst_num; ++i) {
      const hdk_reg_inst &inst = mod.insts[i];
      bool shared = false;
      for (uint32_t j = 0; j < i; ++j)
        shared = shared || (mod.insts[j].regs == inst.regs && mod.insts[j].reg_num == inst.reg_num);
      if (shared) continue;
      if (inst.regs == nullptr) {
        d.expected.push_back(format("module %u instance %u: regs is null but reg_num is %u", m, i, inst.reg_num));
        continue;
      }
      const size_t pool = static_cast<size_t>(std::find_if(d.packed.begin(), d.packed.end(), [&](const auto &v) {
                            return v.data() == inst.regs;
                          }) - d.packed.begin());
      for (uint32_t r = 0; r < inst.reg_num; ++r) expect_record(d.expected, m, i, r, d.pools[pool]);
    }
  }
}

TEST(TableCheck, RandomTablesMatchTheModel) {
  std::mt19937 rng(20261206);
  size_t clean = 0;
  std::vector<std::string> seen;
  for (int round = 0; round < 2000; ++round) {
    Drawn d;
    draw(rng, d);
    const std::vector<std::vector<hdk_reg_info>> before = d.packed;
    const hdk_chip_reg_table table_before = d.table;
    chip_test::PrintCapture capture;
    const uint32_t count = chip_check_reg_table(kDev, &d.table, d.ops_num);
    ASSERT_EQ(capture.calls(), d.expected) << "round " << round;
    ASSERT_EQ(count, d.expected.size());
    ASSERT_EQ(d.packed.size(), before.size());
    for (size_t p = 0; p < before.size(); ++p)
      ASSERT_EQ(0, std::memcmp(d.packed[p].data(), before[p].data(), before[p].size() * sizeof(hdk_reg_info)));
    ASSERT_EQ(0, std::memcmp(&d.table, &table_before, sizeof table_before));
    clean += count == 0;
    seen.insert(seen.end(), d.expected.begin(), d.expected.end());
  }
  // Clean tables were drawn, and every kind of finding.
  EXPECT_GT(clean, 100u);
  for (const char *kind : {"elem_num is 0", "reg_bytes is 0", "field_bits is 0", "lies below bit 0",
                           "lie past its register", "elements overlap", "overlaps register",
                           "is not below ops_num", "insts is null", "regs is null", "modules is null",
                           "ops_table is null"}) {
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                            [&](const std::string &m) { return m.find(kind) != std::string::npos; }))
        << kind;
  }
}

// A table written the way the line-card driver writes one: fields of
// 32-bit registers, a whole register, an array, a lane-per-bit field that
// carries into the next register (also described whole), a wide register.
const hdk_reg_info kClean[] = {
    HDK_REG32_WHOLE(0x0),
    HDK_REG32_FIELD(0x0, 0, 1),
    HDK_REG32_FIELD(0x0, 4, 3),
    HDK_REG_INFO(0x10, 4, 8, 3, 8, 4, 0),
    HDK_REG_INFO(0x40, 4, 0, 1, 64, 1, HDK_REG_BIT_INDEXED),
    HDK_REG32_WHOLE(0x44),
    HDK_REG16_FIELD(0x48, 12, 4),
    HDK_REG_INFO(0x50, 16, 20, 40, 1, 0, 0),
    HDK_REG_INFO(0x50, 16, 0, 4, 32, 4, HDK_REG_BIT_INDEXED),
};
const hdk_reg_inst kCleanInsts[] = {{0x1000, 0, 0, 9, kClean}, {0x2000, 0, 0, 9, kClean}};
const hdk_reg_module kCleanModules[] = {{0, 2, kCleanInsts, 0, 1}};
const hdk_reg_ops kOps[2] = {};

TEST(TableCheck, CleanTableIsSilentAndAllocatesNothing) {
  hdk_chip_reg_table table = {0, 1, kCleanModules, {0, 0, 0, 0, 0}, kOps};
  chip_test::PrintCapture capture;
  const bool counted = chip_test::AllocCounter::available();
  const chip_test::AllocCounter counter;
  EXPECT_EQ(chip_check_reg_table(kDev, &table, 2), 0u);
  if (counted) {
    EXPECT_EQ(counter.allocations(), 0u);
  }
  EXPECT_TRUE(capture.calls().empty());
}

TEST(TableCheck, ExactMessages) {
  // The clean table's instance, with a field one bit too wide, a 16-bit
  // register inside CTRL, an ops_index past the two ops, and a lane array
  // stepping below bit 0.
  std::vector<hdk_reg_info> regs(std::begin(kClean), std::end(kClean));
  regs[2] = HDK_REG32_FIELD(0x0, 4, 29);
  regs.push_back(HDK_REG16_WHOLE(0x2));
  regs.push_back(HDK_REG_INFO(0x60, 4, 4, 2, 4, -2, HDK_REG_BIT_INDEXED));
  const hdk_reg_inst inst = {0x1000, 0, 0, static_cast<uint32_t>(regs.size()), regs.data()};
  const hdk_reg_module modules[] = {{0, 1, &inst, 0, 2}, {0, 3, nullptr, 0, 0}};
  hdk_chip_reg_table table = {0, 2, modules, {0, 0, 0, 0, 0}, kOps};
  chip_test::PrintCapture capture;
  EXPECT_EQ(chip_check_reg_table(kDev, &table, 2), 7u);
  const std::vector<std::string> expected = {
      "\r\nchip_check_reg_table: module 0: ops_index 2 is not below ops_num 2",
      "\r\nchip_check_reg_table: module 0 instance 0 register 2: element 0: bits 4 to 32 lie past its register of 32 bits",
      "\r\nchip_check_reg_table: module 0 instance 0 register 9: overlaps register 0",
      "\r\nchip_check_reg_table: module 0 instance 0 register 9: overlaps register 1",
      "\r\nchip_check_reg_table: module 0 instance 0 register 9: overlaps register 2",
      "\r\nchip_check_reg_table: module 0 instance 0 register 10: element 3: bit position -2 lies below bit 0",
      "\r\nchip_check_reg_table: module 1: insts is null but inst_num is 3",
  };
  EXPECT_EQ(capture.calls(), expected);

  std::vector<hdk_reg_module> many(1025, hdk_reg_module{0, 0, nullptr, 0, 0});
  hdk_chip_reg_table wide = {0, 1025, many.data(), {0, 0, 0, 0, 0}, nullptr};
  chip_test::PrintCapture capture2;
  EXPECT_EQ(chip_check_reg_table(kDev, nullptr, 0), 1u);
  EXPECT_EQ(chip_check_reg_table(kDev, &wide, 1), 2u);
  EXPECT_EQ(capture2.calls(), (std::vector<std::string>{
                                  "\r\nchip_check_reg_table: table is null",
                                  "\r\nchip_check_reg_table: module_num 1025 is above the 1024 modules a reg_id can name",
                                  "\r\nchip_check_reg_table: ops_table is null but ops_num is 1"}));
}

}  // namespace
