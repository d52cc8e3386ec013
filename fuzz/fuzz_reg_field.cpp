// Fuzzes the 32- and 16-bit field functions (hdk_read_reg32_field,
// hdk_write_reg32_field, hdk_set_reg_field32, hdk_read_reg16_field,
// hdk_write_reg16_field) against a reference model, over a table built from
// the input: up to two modules of two instances sharing up to four records,
// filed for device 3 under chip id 9 through a resolver. Records are
// consistent ones mostly (positive and negative strides, bit-indexed or not,
// access types 7 and 8, arrays of up to 2^22 elements), and inconsistent
// ones the library must refuse: raw record words, fields wider than the
// register, start bits past it, bit positions below bit 0, whole_reg,
// elem_num 0, a wrong reg_bytes, a null ops_table or null access functions.
// Calls also name missing modules, instances, registers and elements, a
// device without a table and one whose chip id resolves past the registry.
//
// The access functions record every call and return the statuses the input
// chose (never -1, so that -1 always means a refusal); a register reads as a
// value derived from its address. The model, written from the element
// location rules, predicts each call exactly: its result (read status OR
// write status), every access in order (kind, width, device number,
// address, word), the value left in the caller's word, the one refusal
// message (handed over as "%s") or none, and one resolver call per access.
#include <chip_util/log.h>
#include <chip_util/register.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"

namespace {

// ---- What the library does: accesses, resolver calls, messages -----------

struct Access {
  bool write;
  uint32_t width, dev, addr;
  uint32_t value;  // written word, or the word a successful read stored (else 0)
  bool operator==(const Access &) const = default;
};

std::vector<Access> g_log;
int32_t g_statuses[2];  // of the first two accesses of a call; later ones succeed
size_t g_accesses;
uint32_t g_resolutions;

uint32_t register_word(uint32_t width, uint32_t addr) {
  return (addr * 0x9E3779B1u + width) & (width == 16 ? 0xFFFFu : 0xFFFFFFFFu);
}

int32_t next_status() { return g_accesses < 2 ? g_statuses[g_accesses++] : 0; }

// A failing read stores nothing.
template <typename Word, typename Addr>
int32_t rec_read(uint32_t dev, Addr addr, Word *value) {
  const int32_t status = next_status();
  const uint32_t word = status == 0 ? register_word(8 * sizeof(Word), addr) : 0u;
  if (status == 0) *value = static_cast<Word>(word);
  g_log.push_back({false, 8 * sizeof(Word), dev, addr, word});
  return status;
}

template <typename Word, typename Addr>
int32_t rec_write(uint32_t dev, Addr addr, Word value) {
  g_log.push_back({true, 8 * sizeof(Word), dev, addr, value});
  return next_status();
}

constexpr uint32_t kDev = 3;      // the device the table is registered for
constexpr uint32_t kChip = 9;     // its chip id, through the resolver
constexpr uint32_t kFarChip = 5;  // resolves to chip id 320

uint32_t resolve(uint32_t dev) {
  ++g_resolutions;
  return dev == kFarChip ? HDK_MAX_CHIP_NUM : kChip;
}

// ---- The table --------------------------------------------------------------

constexpr size_t kRegs = 4;

struct Table {
  hdk_reg_info regs[kRegs];
  hdk_reg_inst insts[4];  // two per module
  hdk_reg_module modules[2];
  hdk_reg_ops ops[2];
  hdk_chip_reg_table table;
};
Table g_t;

hdk_reg_info fuzzed_record(fuzz::Input &in) {
  const uint8_t mode = in.u8();
  if (mode < 0x20) return {0, in.u32(), in.u32(), in.u32(), in.u32(), 0, 0};  // raw words
  // Mostly a record of the register's own width; sometimes another.
  const uint32_t reg_bytes = (mode & 0x80u) != 0 ? 4u : (mode & 0x40u) != 0 ? 2u : in.u8() % 9u;
  const uint32_t reg_bits = reg_bytes != 0 ? 8u * reg_bytes : 32u;
  const uint8_t shape = in.u8();
  // A field that fits at element 0, or anything: too wide, past the register, empty.
  const bool fits = (shape & 0x0Fu) != 0;
  const uint32_t bits = fits ? 1u + in.below(reg_bits) : in.u8() % 40u;
  const uint32_t start = fits ? in.below(reg_bits - bits + 1u) : in.u8() % 40u;
  uint32_t flags = (shape & 0x10u) != 0 ? HDK_REG_BIT_INDEXED : 0u;
  if ((shape & 0xE0u) == 0xE0u) flags |= HDK_REG_WHOLE;
  const uint8_t type = in.u8();
  flags |= HDK_REG_ACCESS_TYPE(type < 0xA0 ? 0u : type < 0xC0 ? 7u : type < 0xE0 ? 8u : type);
  const uint8_t stride_pick = in.u8();
  const int32_t stride = stride_pick < 0xC0 ? static_cast<int32_t>(stride_pick % 80u) - 40
                                            : static_cast<int32_t>(in.u32() << 7) >> 7;
  uint32_t elem_num = 0;
  if ((shape & 0x0Fu) != 1u) {
    const uint8_t n = in.u8();
    elem_num = n < 0xF8 ? 1u + n % 12u : 1u + in.u32() % 0x3FFFFFu;
  }
  return HDK_REG_INFO(in.u16() % 0x2000u, reg_bytes, start, bits, elem_num, stride, flags);
}

void build_table(fuzz::Input &in) {
  g_t = {};
  for (hdk_reg_info &reg : g_t.regs) reg = fuzzed_record(in);
  const uint8_t shape = in.u8();
  const uint32_t reg_num = 1u + shape % kRegs;
  static const uint32_t kBases[] = {0x0u, 0x1000u, 0xFFF0u, 0xFFFFFFF0u, 0x10004u, 0x7FFFFFF8u};
  for (hdk_reg_inst &inst : g_t.insts) {
    const uint8_t b = in.u8();
    inst = {b < 0xC0 ? kBases[b % 6] : in.u32(), 0, 0, reg_num, g_t.regs};
  }
  g_t.modules[0] = {0, (shape & 0x10u) != 0 ? 1u : 2u, g_t.insts, 0, 0};
  g_t.modules[1] = {0, 2, g_t.insts + 2, 0, 1};
  // ops[0] is complete; ops[1] misses the functions the input names.
  const hdk_reg_ops all = {rec_read<uint16_t, uint16_t>, rec_write<uint16_t, uint16_t>,
                           rec_read<uint32_t, uint32_t>, rec_write<uint32_t, uint32_t>};
  const uint8_t missing = in.u8();
  g_t.ops[0] = all;
  g_t.ops[1] = {(missing & 1u) != 0 ? nullptr : all.read16,
                (missing & 2u) != 0 ? nullptr : all.write16,
                (missing & 4u) != 0 ? nullptr : all.read32,
                (missing & 8u) != 0 ? nullptr : all.write32};
  g_t.table = {0, (shape & 0x20u) != 0 ? 1u : 2u, g_t.modules, {0, 0, 0, 0, 0},
               (shape & 0xC0u) == 0xC0u ? nullptr : g_t.ops};
  hdk_register_reg_chip_id(kDev, resolve);
  hdk_register_reg_chip_id(kFarChip, resolve);
  FUZZ_CHECK(hdk_register_reg(kDev, &g_t.table) == 0 && g_hdk_chip_reg[kChip] == &g_t.table);
}

// ---- The reference model -----------------------------------------------------

struct Decoded {
  bool bit_indexed, whole;
  uint32_t offset, stride, access_type, elem_num, reg_bytes, bits, start;
};

Decoded decode(const hdk_reg_info &r) {
  const auto stride = static_cast<uint32_t>(static_cast<int32_t>(r.step << 7) >> 7);  // 25 bits
  return {(r.loc & 1u) != 0,   (r.loc & 2u) != 0, r.loc >> 2, stride, r.step >> 25,
          r.shape & 0x3FFFFFu, r.shape >> 22,     (r.field >> 4) & 0x3FFFu, r.field >> 18};
}

struct Spot {
  uint32_t addr, start, mask;
};

uint32_t wrap(uint32_t x, uint32_t width) { return width == 16 ? (x & 0xFFFFu) : x; }

// Element location of a field in a register of `width` bits; nothing when
// the element's field does not lie inside one register or its bit position
// falls below bit 0.
std::optional<Spot> locate(uint32_t base, const Decoded &d, uint32_t elem, uint32_t width) {
  uint32_t addr = wrap(base + d.offset, width);
  uint32_t start = d.start;
  if (elem != 0) {
    const uint32_t step = wrap(d.stride * elem, width);
    if (!d.bit_indexed) {
      addr = wrap(addr + step, width);
    } else {
      if (d.start + int64_t{static_cast<int32_t>(d.stride)} * elem < 0) return std::nullopt;
      const uint32_t p = wrap(d.start + step, width);
      addr = wrap(addr + (p / width) * (width / 8u), width);
      start = p % width;
    }
  }
  if (start >= width || d.bits > width - start) return std::nullopt;
  return Spot{addr, start, static_cast<uint32_t>(((uint64_t{1} << d.bits) - 1u) << start)};
}

enum class Op { kRead32, kWrite32, kSet32, kRead16, kWrite16 };
const char *const kNames[] = {"hdk_read_reg32_field", "hdk-write-reg32-field",
                              "hdk_set_reg_field32", "hdk_read_reg16_field",
                              "hdk_write_reg16_field"};

struct Call {
  Op op;
  uint32_t dev, inst, reg_id, elem, value;
  bool null_pointer;
};

struct Expected {
  int32_t result;
  std::vector<Access> log;
  std::optional<uint32_t> stored;  // what a read or set leaves in the caller's word
  std::string message;             // empty: none
};
Expected refused(std::string message = "") { return {-1, {}, {}, std::move(message)}; }

// A refusal message: "\r\n<name>(dev, inst, 0x<reg_id>, elem" and `tail`.
std::string said(const Call &c, const std::string &tail) {
  char text[128];
  std::snprintf(text, sizeof text, "\r\n%s(%u, %u, 0x%x, %u", kNames[static_cast<int>(c.op)],
                c.dev, c.inst, c.reg_id, c.elem);
  return text + tail;
}

Expected expect(const Call &c, uint32_t caller_word) {
  // The parameter check: silent without a table, then module, instance,
  // register and element, in that order.
  if (c.dev != kDev) return refused();
  const uint32_t module = HDK_REG_ID_MODULE(c.reg_id);
  const uint32_t index = HDK_REG_ID_INDEX(c.reg_id);
  if (module >= g_t.table.module_num) return refused(said(c, ") error code 0x2."));
  const hdk_reg_module &m = g_t.modules[module];
  if (c.inst >= m.inst_num) return refused(said(c, ") error code 0x4."));
  const hdk_reg_inst &inst = m.insts[c.inst];
  if (index >= inst.reg_num) return refused(said(c, ") error code 0x8."));
  const Decoded d = decode(inst.regs[index]);
  if (c.elem >= d.elem_num) return refused(said(c, ") error code 0x10."));

  const bool wide32 = c.op <= Op::kSet32;
  const uint32_t width = wide32 ? 32u : 16u;
  const std::string failed = said(c, ") error code 0xffffffff.");
  if (d.reg_bytes != width / 8u) return refused(c.op == Op::kWrite32 ? said(c, ")fail") : failed);
  const uint32_t value = wrap(c.value, width);
  const bool fits = d.bits >= width || (value >> d.bits) == 0;
  const std::string too_big = said(c, ", " + std::to_string(value) + ") error code 0xffffffff.");

  if (c.op == Op::kSet32) {
    if (c.null_pointer || d.whole) return refused();
    if (d.bits == 32) return {0, {}, value, {}};
    if (!fits) return refused(too_big);
    // In the caller's word there is no address to step: a bit-indexed
    // position wraps modulo 32, below bit 0 included.
    const uint32_t start =
        c.elem != 0 && d.bit_indexed ? (d.start + d.stride * c.elem) % 32u : d.start;
    if (start >= 32u || d.bits > 32u - start) return refused(failed);
    const auto mask = static_cast<uint32_t>(((uint64_t{1} << d.bits) - 1u) << start);
    return {0, {}, (caller_word & ~mask) | ((value << start) & mask), {}};
  }

  const hdk_reg_ops none = {};
  const hdk_reg_ops &ops = g_t.table.ops_table != nullptr ? g_t.ops[m.ops_index] : none;
  const bool has_read = wide32 ? ops.read32 != nullptr : ops.read16 != nullptr;
  const bool has_write = wide32 ? ops.write32 != nullptr : ops.write16 != nullptr;
  const bool whole = d.whole || d.bits == width;
  const std::optional<Spot> spot = locate(inst.base_addr, d, c.elem, width);
  const uint32_t whole_addr = wrap(inst.base_addr + d.offset + d.stride * c.elem, width);
  const int32_t s0 = g_statuses[0];
  if (c.op == Op::kRead32 || c.op == Op::kRead16) {
    if (c.null_pointer) return refused();
    if (!has_read || (!whole && !spot)) return refused(failed);
    const uint32_t addr = whole ? whole_addr : spot->addr;
    const uint32_t word = s0 == 0 ? register_word(width, addr) : 0u;
    const uint32_t stored =
        !whole ? (word & spot->mask) >> spot->start : s0 == 0 ? word : caller_word;
    return {s0, {{false, width, c.dev, addr, word}}, stored, {}};
  }
  // A write: whole registers and access types 7 and 8 write without reading.
  const bool reads = !whole && d.access_type != 7 && d.access_type != 8;
  if (!has_write || (reads && !has_read)) return refused(failed);
  if (whole) return {s0, {{true, width, c.dev, whole_addr, value}}, {}, {}};
  if (!fits) return refused(too_big);
  if (!spot) return refused(failed);
  const uint32_t old_word = reads && s0 == 0 ? register_word(width, spot->addr) : 0u;
  const uint32_t merged = (old_word & ~spot->mask) | ((value << spot->start) & spot->mask);
  const Access write = {true, width, c.dev, spot->addr, merged};
  if (!reads) return {s0, {write}, {}, {}};
  return {s0 | g_statuses[1], {{false, width, c.dev, spot->addr, old_word}, write}, {}, {}};
}

// ---- Running a call ------------------------------------------------------------

int32_t run(const Call &c, uint32_t *word) {
  uint32_t *const out = c.null_pointer ? nullptr : word;
  const uint32_t dev = c.dev;  // short names keep each call on one line
  if (c.op == Op::kRead32) return hdk_read_reg32_field(dev, c.inst, c.reg_id, c.elem, out);
  if (c.op == Op::kWrite32) return hdk_write_reg32_field(dev, c.inst, c.reg_id, c.elem, c.value);
  if (c.op == Op::kSet32) return hdk_set_reg_field32(dev, c.inst, c.reg_id, c.elem, out, c.value);
  if (c.op == Op::kWrite16) {
    return hdk_write_reg16_field(dev, c.inst, c.reg_id, c.elem, static_cast<uint16_t>(c.value));
  }
  uint16_t half = static_cast<uint16_t>(*word);
  const int32_t result =
      hdk_read_reg16_field(dev, c.inst, c.reg_id, c.elem, out != nullptr ? &half : nullptr);
  *word = half;
  return result;
}

Call fuzzed_call(fuzz::Input &in) {
  Call c{};
  const uint8_t pick = in.u8();
  c.op = static_cast<Op>(pick % 5u);
  static const uint32_t kOtherDevs[] = {HDK_MAX_DEV_NUM + 80u, 4u /* no table */, kFarChip};
  c.dev = (pick & 0xE0u) == 0xE0u ? kOtherDevs[in.u8() % 3u] : kDev;
  const uint8_t where = in.u8();
  c.inst = (where & 0x80u) != 0 ? in.u8() % 3u : where & 1u;
  c.reg_id = (where & 0x40u) != 0 ? in.u32()
                                  : HDK_REG_ID((where >> 1) & 1u, (where >> 2) % (kRegs + 1));
  c.elem = (where & 0x20u) != 0 ? in.u32() & 0x7FFFFFu : in.u8() % 14u;
  const uint8_t value_pick = in.u8();
  c.value = value_pick < 0x80 ? value_pick % 16u : in.u32() >> (value_pick % 32u);
  c.null_pointer = (pick & 0xF8u) == 0x08u;
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  g_hdk_printf_func = (in.u8() & 0x0Fu) == 0 ? nullptr : fuzz::keeping_print;
  build_table(in);
  static const int32_t kStatuses[] = {0, 0, 0, 0, 0, 1, 2, 0x100};
  for (int i = 0; i < 16 && in.remaining() > 0; ++i) {
    const Call c = fuzzed_call(in);
    const uint8_t statuses = in.u8();
    g_statuses[0] = kStatuses[statuses % 8u];
    g_statuses[1] = kStatuses[(statuses >> 3) % 8u];
    g_accesses = 0;
    g_resolutions = 0;
    g_log.clear();
    fuzz::printed.clear();
    // The caller's word (16 bits for hdk_read_reg16_field), before the call.
    uint32_t word = (c.op == Op::kRead16 ? 0u : 0x5EED0000u) | (c.value & 0xFFFFu);
    const Expected e = expect(c, word);
    const uint32_t before = word;
    FUZZ_CHECK(run(c, &word) == e.result);
    FUZZ_CHECK(g_log == e.log);
    FUZZ_CHECK(word == e.stored.value_or(before));
    const bool printed = g_hdk_printf_func != nullptr && !e.message.empty();
    FUZZ_CHECK(fuzz::printed == (printed ? std::vector{e.message} : std::vector<std::string>{}));
    FUZZ_CHECK(g_resolutions == (c.dev == kDev || c.dev == kFarChip ? 1u : 0u));
  }
  g_hdk_chip_reg[kChip] = nullptr;  // the resolvers stay: every input sets the same ones
  return 0;
}
