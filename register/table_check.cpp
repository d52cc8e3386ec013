// SPDX-License-Identifier: Apache-2.0
// chip_check_reg_table: the consistency rules of register tables, checked
// record by record with no allocation, every finding logged.
#include <chip_util/log.h>
#include <chip_util/reg_check.h>

#include <algorithm>
#include <cstdint>

#include "reg_info.hpp"

namespace {

using namespace chip_reg;

constexpr uint32_t kLogLevel = 1;
constexpr uint32_t kMaxModules = 1u << 10;    // the module bits of a reg_id
#define CHECK_PREFIX "\r\nchip_check_reg_table: "

// The bytes a record occupies, as an arithmetic progression: `count` spans
// of `length` bytes starting at start + stride * k. Spans of one progression
// never share bytes (stride 0 with one span, or |stride| >= length).
struct Spans {
  int64_t start;
  int64_t stride;
  uint64_t count;
  int64_t length;
};

int64_t signed_stride(const hdk_reg_info &reg) { return static_cast<int32_t>(stride(reg)); }

// The position of element `elem` of a bit-indexed record, in bits from
// bit 0 of the record's first register (negative below it).
int64_t bit_position(const hdk_reg_info &reg, uint64_t elem) {
  return int64_t{start_bit(reg)} + signed_stride(reg) * static_cast<int64_t>(elem);
}

// 16- and 32-bit field access carries a bit position past the register into
// the following registers; wide access wraps it inside the one register.
bool carries(const hdk_reg_info &reg) { return reg_bytes(reg) == 2 || reg_bytes(reg) == 4; }

// The registers a record's elements lie in.
Spans spans_of(const hdk_reg_info &reg) {
  const int64_t bytes = reg_bytes(reg);
  const uint64_t n = elem_num(reg);
  const int64_t base = offset(reg);
  if (!whole_reg(reg) && bit_indexed(reg)) {
    if (!carries(reg) || n <= 1) return {base, 0, 1, bytes};
    const int64_t width = 8 * bytes;
    const int64_t first = std::max<int64_t>(0, std::min(bit_position(reg, 0), bit_position(reg, n - 1)));
    const int64_t last = std::max<int64_t>(0, std::max(bit_position(reg, 0), bit_position(reg, n - 1)) +
                                                  int64_t{field_bits(reg)} - 1);
    return {base + first / width * bytes, bytes, static_cast<uint64_t>(last / width - first / width + 1),
            bytes};
  }
  const int64_t step = signed_stride(reg);
  if (n <= 1 || step == 0) return {base, 0, 1, bytes};
  // The same spans in ascending order.
  if (step < 0) return {base + step * static_cast<int64_t>(n - 1), -step, n, bytes};
  return {base, step, n, bytes};
}

// Whether two spans share a byte without being the same register.
bool partial(int64_t a, int64_t a_length, int64_t b, int64_t b_length) {
  const bool share = a < b + b_length && b < a + a_length;
  return share && !(a == b && a_length == b_length);
}

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Some span of `x` and some span of `y` share bytes without being one
// register. Walks the shorter progression and, for each of its spans, only
// the few spans of the other that can reach it.
bool overlap(Spans x, Spans y) {
  if (x.count > y.count) std::swap(x, y);
  for (uint64_t i = 0; i < x.count; ++i) {
    const int64_t at = x.start + x.stride * static_cast<int64_t>(i);
    if (y.count == 1) {
      if (partial(at, x.length, y.start, y.length)) return true;
      continue;
    }
    // Spans k of y with y.start + stride * k in (at - y.length, at + x.length).
    const int64_t low = std::max<int64_t>(0, floor_div(at - y.length - y.start, y.stride) + 1);
    const int64_t high = std::min<int64_t>(static_cast<int64_t>(y.count) - 1,
                                           floor_div(at + x.length - 1 - y.start, y.stride));
    for (int64_t k = low; k <= high; ++k) {
      if (partial(at, x.length, y.start + y.stride * k, y.length)) return true;
    }
  }
  return false;
}

// Counts the findings of one check; REPORT logs one.
struct Checker {
  uint32_t dev;
  uint32_t findings = 0;
};

// A macro, so that the compiler checks each format against its arguments.
#define REPORT(checker, ...) ((checker).findings++, hdk_debug((checker).dev, kLogLevel, __VA_ARGS__))

bool self_overlapping(const hdk_reg_info &reg) {
  const int64_t step = signed_stride(reg);
  return (whole_reg(reg) || !bit_indexed(reg)) && elem_num(reg) > 1 && step != 0 &&
         (step < 0 ? -step : step) < int64_t{reg_bytes(reg)};
}

#define RECORD_PREFIX CHECK_PREFIX "module %u instance %u register %u: "

void check_record(Checker &check, uint32_t m, uint32_t i, uint32_t r, const hdk_reg_info &reg) {
  const uint32_t n = elem_num(reg);
  const uint32_t bytes = reg_bytes(reg);
  if (n == 0) REPORT(check, RECORD_PREFIX "elem_num is 0, so no element can be accessed", m, i, r);
  if (bytes == 0) REPORT(check, RECORD_PREFIX "reg_bytes is 0", m, i, r);
  if (!whole_reg(reg) && bytes != 0) {
    const uint32_t bits = field_bits(reg);
    const int64_t width = 8 * int64_t{bytes};
    if (bits == 0) REPORT(check, RECORD_PREFIX "field_bits is 0", m, i, r);
    // Positions repeat modulo the register width: one period of elements
    // shows every placement, and the lowest position is at an end.
    const uint64_t elements = bit_indexed(reg) ? std::min<uint64_t>(n, static_cast<uint64_t>(width)) : std::min(n, 1u);
    if (bit_indexed(reg) && signed_stride(reg) < 0 && n > 1 && bit_position(reg, n - 1) < 0) {
      const uint64_t first = static_cast<uint64_t>(start_bit(reg) / -signed_stride(reg)) + 1;
      REPORT(check, RECORD_PREFIX "element %u: bit position %lld lies below bit 0", m, i, r,
             static_cast<uint32_t>(first), static_cast<long long>(bit_position(reg, first)));
    }
    for (uint64_t e = 0; e < elements; ++e) {
      const int64_t position = bit_position(reg, bit_indexed(reg) ? e : 0);
      if (position < 0) continue;
      const int64_t placed = position % width;
      if (placed + bits > width) {
        REPORT(check, RECORD_PREFIX "element %u: bits %lld to %lld lie past its register of %lld bits", m, i,
               r, static_cast<uint32_t>(e), static_cast<long long>(placed),
               static_cast<long long>(placed + bits - 1), static_cast<long long>(width));
        break;
      }
    }
  }
  if (self_overlapping(reg)) {
    REPORT(check, RECORD_PREFIX "elements overlap: stride %d is less than reg_bytes %u", m, i, r,
           static_cast<int>(signed_stride(reg)), bytes);
  }
}

void check_instance(Checker &check, uint32_t m, uint32_t i, const hdk_reg_inst &inst) {
  if (inst.regs == nullptr) {
    if (inst.reg_num != 0) {
      REPORT(check, CHECK_PREFIX "module %u instance %u: regs is null but reg_num is %u", m, i, inst.reg_num);
    }
    return;
  }
  for (uint32_t r = 0; r < inst.reg_num; ++r) {
    const hdk_reg_info &reg = inst.regs[r];
    check_record(check, m, i, r, reg);
    // Records whose own elements overlap were reported above; pairing them
    // would repeat that finding.
    if (elem_num(reg) == 0 || reg_bytes(reg) == 0 || self_overlapping(reg)) continue;
    const Spans mine = spans_of(reg);
    for (uint32_t q = 0; q < r; ++q) {
      const hdk_reg_info &other = inst.regs[q];
      if (elem_num(other) == 0 || reg_bytes(other) == 0 || self_overlapping(other)) continue;
      if (overlap(mine, spans_of(other))) {
        REPORT(check, RECORD_PREFIX "overlaps register %u", m, i, r, q);
      }
    }
  }
}

}  // namespace

extern "C" CHIP_UTIL_API uint32_t chip_check_reg_table(uint32_t dev, const hdk_chip_reg_table *table,
                                                       uint32_t ops_num) {
  Checker check{dev};
  if (table == nullptr) {
    REPORT(check, CHECK_PREFIX "table is null");
    return check.findings;
  }
  if (table->modules == nullptr && table->module_num != 0) {
    REPORT(check, CHECK_PREFIX "modules is null but module_num is %u", table->module_num);
  }
  if (table->module_num > kMaxModules) {
    REPORT(check, CHECK_PREFIX "module_num %u is above the 1024 modules a reg_id can name",
                 table->module_num);
  }
  if (table->ops_table == nullptr && ops_num != 0) {
    REPORT(check, CHECK_PREFIX "ops_table is null but ops_num is %u", ops_num);
  }
  const uint32_t modules = table->modules == nullptr ? 0 : table->module_num;
  for (uint32_t m = 0; m < modules; ++m) {
    const hdk_reg_module &module = table->modules[m];
    if (ops_num != 0 && module.ops_index >= ops_num) {
      REPORT(check, CHECK_PREFIX "module %u: ops_index %u is not below ops_num %u", m, module.ops_index,
                   ops_num);
    }
    if (module.insts == nullptr) {
      if (module.inst_num != 0) {
        REPORT(check, CHECK_PREFIX "module %u: insts is null but inst_num is %u", m, module.inst_num);
      }
      continue;
    }
    for (uint32_t i = 0; i < module.inst_num; ++i) {
      const hdk_reg_inst &inst = module.insts[i];
      // Instances that share a regs array share its findings.
      bool seen = false;
      for (uint32_t j = 0; j < i && !seen; ++j) {
        seen = module.insts[j].regs == inst.regs && module.insts[j].reg_num == inst.reg_num;
      }
      if (!seen) check_instance(check, m, i, inst);
    }
  }
  return check.findings;
}
