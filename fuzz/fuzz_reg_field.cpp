// SPDX-License-Identifier: Apache-2.0
// Fuzzes the 32- and 16-bit field functions against a reference model of
// the element location rules, on a table of one drawn record registered for
// device 3 under chip id 9. The record is consistent mostly (positive and
// negative strides, bit-indexed or not, access types 7 and 8, arrays of up
// to 2^22 elements) and sometimes not: a field wider than the register or
// past it, whole_reg, elem_num 0, a wrong reg_bytes, no read functions or
// no ops_table at all. Calls also name other devices, and missing modules,
// instances, registers and elements. (Null pointers: tests/register.)
//
// The access functions log every call and answer with statuses the input
// chose (never -1, which means a refusal); a register reads as a value
// derived from its address. The model predicts each call exactly: its result
// (read status OR write status), every access in order, the caller's word
// afterwards, and the one refusal message or none.
#include <chip_util/register.h>

#include <tuple>

#include "fuzz_support.hpp"

namespace {

// write?, width, device, address, and the word written or read (0 when
// the read failed).
using Access = std::tuple<bool, uint32_t, uint32_t, uint32_t, uint32_t>;
std::vector<Access> g_log;
int32_t g_statuses[3];  // the answers to a call's first and second access

uint32_t register_word(uint32_t width, uint32_t addr) { return (addr * 0x9E3779B1u) >> (32 - width); }

template <typename Word>
int32_t log_read(uint32_t dev, Word addr, Word *value) {
  const int32_t status = g_statuses[std::min<size_t>(g_log.size(), 2)];
  const uint32_t word = status == 0 ? register_word(8 * sizeof(Word), addr) : 0u;
  if (status == 0) *value = static_cast<Word>(word);  // a failing read stores nothing
  g_log.emplace_back(false, 8 * sizeof(Word), dev, addr, word);
  return status;
}

template <typename Word>
int32_t log_write(uint32_t dev, Word addr, Word value) {
  g_log.emplace_back(true, 8 * sizeof(Word), dev, addr, value);
  return g_statuses[std::min<size_t>(g_log.size() - 1, 2)];
}

struct Record {
  uint32_t offset, reg_bytes, start, bits, elem_num, stride, flags, base;
} g_r;
hdk_reg_info g_info;
hdk_reg_inst g_inst = {0, 0, 0, 1, &g_info};
const hdk_reg_module g_module = {0, 1, &g_inst, 0, 0};
const hdk_reg_ops kOps = {log_read<uint16_t>, log_write<uint16_t>, log_read<uint32_t>, log_write<uint32_t>};
const hdk_reg_ops kWritesOnly = {nullptr, log_write<uint16_t>, nullptr, log_write<uint32_t>};
hdk_chip_reg_table g_table = {0, 1, &g_module, {}, &kOps};

constexpr uint32_t kDev = 3;
enum Op { kRead32, kWrite32, kSet32, kRead16, kWrite16 };
const char *const kNames[] = {"hdk_read_reg32_field", "hdk-write-reg32-field", "hdk_set_reg_field32",
                              "hdk_read_reg16_field", "hdk_write_reg16_field"};

struct Call {
  Op op;
  uint32_t dev, inst, reg_id, elem, value;
};

// The result, the accesses in order, the caller's word afterwards and the
// refusal message (empty: none).
using Expected = std::tuple<int32_t, std::vector<Access>, uint32_t, std::string>;

// The first rule that applies decides.
Expected expect(const Record &r, const Call &c, uint32_t word) {
  char head[96];  // every refusal message begins so
  std::snprintf(head, sizeof head, "\r\n%s(%u, %u, 0x%x, %u", kNames[c.op], c.dev, c.inst, c.reg_id,
                c.elem);
  const auto refused = [&](const std::string &tail) {
    return Expected{-1, {}, word, tail.empty() ? "" : head + tail};
  };
  if (c.dev != kDev) return refused("");
  if (HDK_REG_ID_MODULE(c.reg_id) != 0) return refused(") error code 0x2.");
  if (c.inst != 0) return refused(") error code 0x4.");
  if (HDK_REG_ID_INDEX(c.reg_id) != 0) return refused(") error code 0x8.");
  if (c.elem >= r.elem_num) return refused(") error code 0x10.");
  const uint32_t width = c.op <= kSet32 ? 32 : 16;
  const uint32_t wrap = width == 32 ? ~0u : 0xFFFFu;  // of address and bit-position arithmetic
  const std::string failed = ") error code 0xffffffff.";
  if (r.reg_bytes != width / 8) return refused(c.op == kWrite32 ? ")fail" : failed);

  const uint32_t value = c.value & wrap;
  const bool value_fits = r.bits >= width || (value >> r.bits) == 0;
  const std::string too_big = ", " + std::to_string(value) + failed;
  // A whole register (or a field as wide as one) is accessed at the stepped
  // address, bit-indexed or not. Otherwise the stride steps the address, or
  // the bit position of a bit-indexed field, which carries into the
  // following registers.
  const bool whole = (r.flags & HDK_REG_WHOLE) != 0 || r.bits == width;
  const bool bit_step = (r.flags & HDK_REG_BIT_INDEXED) != 0 && c.elem != 0;
  const uint32_t step = r.stride * c.elem;
  const uint32_t position = bit_step ? (r.start + step) & wrap : r.start;
  const uint32_t start = bit_step ? position % width : r.start;
  const uint32_t addr =
      (r.base + r.offset + (bit_step && !whole ? position / width * width / 8 : step)) & wrap;
  const bool fits = start < width && r.bits <= width - start;
  const bool inside = fits && !(bit_step && r.start + int64_t{int32_t(r.stride)} * c.elem < 0);
  const auto mask = static_cast<uint32_t>(((uint64_t{1} << r.bits) - 1u) << start);
  const auto merge = [&](uint32_t old) { return (old & ~mask) | ((value << start) & mask); };

  if (c.op == kSet32) {  // no address to step: the position wraps modulo 32, below bit 0 too
    if ((r.flags & HDK_REG_WHOLE) != 0) return refused("");
    if (r.bits == 32) return {0, {}, value, ""};
    if (!value_fits || !fits) return refused(value_fits ? failed : too_big);
    return {0, {}, merge(word), ""};
  }
  const int32_t s0 = g_statuses[0];
  if (c.op == kRead32 || c.op == kRead16) {
    if (g_table.ops_table != &kOps || (!whole && !inside)) return refused(failed);
    const uint32_t got = s0 == 0 ? register_word(width, addr) : 0u;
    // A field is stored even when the read fails; a whole register is not.
    const uint32_t stored = !whole ? (got & mask) >> start : s0 == 0 ? got : word;
    return {s0, {{false, width, c.dev, addr, got}}, stored, ""};
  }
  // A write: whole registers and access types 7 and 8 write without reading.
  const bool reads = !whole && (r.flags >> 25) != 7 && (r.flags >> 25) != 8;
  if (g_table.ops_table == nullptr || (reads && g_table.ops_table != &kOps)) return refused(failed);
  if (whole) return {s0, {{true, width, c.dev, addr, value}}, word, ""};
  if (!value_fits || !inside) return refused(value_fits ? failed : too_big);
  const uint32_t old = reads && s0 == 0 ? register_word(width, addr) : 0u;
  const Access write = {true, width, c.dev, addr, merge(old)};
  if (!reads) return {s0, {write}, word, ""};
  return {s0 | g_statuses[1], {{false, width, c.dev, addr, old}, write}, word, ""};
}

int32_t run(const Call &c, uint32_t *word) {
  uint16_t half = static_cast<uint16_t>(*word);
  const uint32_t d = c.dev, i = c.inst, id = c.reg_id, e = c.elem;
  const int32_t result =
      c.op == kRead32    ? hdk_read_reg32_field(d, i, id, e, word)
      : c.op == kWrite32 ? hdk_write_reg32_field(d, i, id, e, c.value)
      : c.op == kSet32   ? hdk_set_reg_field32(d, i, id, e, word, c.value)
      : c.op == kRead16  ? hdk_read_reg16_field(d, i, id, e, &half)
                         : hdk_write_reg16_field(d, i, id, e, static_cast<uint16_t>(c.value));
  if (c.op == kRead16) *word = half;
  return result;
}

// Mostly a register of the width of one of the two families, with a field
// that lies inside it at element 0; sometimes anything.
void draw_table(fuzz::Input &in, Record &r) {
  const uint8_t shape = in.u8();
  r.reg_bytes = (shape & 0xC0u) == 0 ? in.u8() % 9u : (shape & 0x80u) != 0 ? 4 : 2;
  const bool fits = (shape & 0x07u) != 0 && r.reg_bytes != 0;
  r.bits = fits ? 1u + in.below(8u * r.reg_bytes) : in.u8() % 40u;
  r.start = fits ? in.below(8u * r.reg_bytes - r.bits + 1u) : in.u8() % 40u;
  const uint8_t type = in.u8();
  r.flags = HDK_REG_ACCESS_TYPE(type < 0xA0 ? 0u : type < 0xC0 ? 7u : type < 0xE0 ? 8u : type) |
            ((shape & 0x08u) != 0 ? HDK_REG_BIT_INDEXED : 0u) | ((shape & 7u) == 7u ? HDK_REG_WHOLE : 0u);
  const uint8_t stride = in.u8();  // 25 bits, signed
  r.stride = stride < 0xC0 ? stride % 80u - 40u : static_cast<uint32_t>(int32_t(in.u32() << 7) >> 7);
  const uint8_t elems = in.u8();
  r.elem_num = (shape & 0x30u) == 0x30u ? 0u : elems < 0xF8 ? 1u + elems % 12u : in.u32() % 0x400000u;
  r.offset = in.u16() % 0x2000u;
  g_inst.base_addr = r.base = in.u32();
  g_info = HDK_REG_INFO(r.offset, r.reg_bytes, r.start, r.bits, r.elem_num, r.stride, r.flags);
  const uint8_t ops = in.u8();  // the access functions: none, the writes alone, or all
  g_table.ops_table = ops < 0x30 ? nullptr : ops < 0x60 ? &kWritesOnly : &kOps;
}

Call draw_call(fuzz::Input &in) {
  const uint8_t pick = in.u8();
  // Device 400 is past the registry, 4 has no table, 5 resolves past it.
  static const uint32_t kOtherDevs[] = {HDK_MAX_DEV_NUM + 80u, 4u, 5u};
  const uint32_t dev = (pick & 0xE0u) == 0xE0u ? kOtherDevs[in.u8() % 3u] : kDev;
  const uint8_t where = in.u8();  // bit 7: instance 1
  const uint32_t reg_id = (where & 0x40u) != 0 ? in.u32() : (where & 0x10u) != 0 ? 1 : 0;
  const uint32_t elem = (where & 0x20u) != 0 ? in.u32() & 0x7FFFFFu : in.u8() % 14u;
  const uint8_t value_pick = in.u8();
  const uint32_t value = value_pick < 0x80 ? value_pick % 16u : in.u32() >> (value_pick % 32u);
  return {static_cast<Op>(pick % 5u), dev, where / 0x80u, reg_id, elem, value};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  draw_table(in, g_r);
  g_hdk_printf_func = fuzz::keeping_print;
  hdk_register_reg_chip_id(kDev, [](uint32_t) { return 9u; });
  hdk_register_reg_chip_id(5, [](uint32_t) { return HDK_MAX_CHIP_NUM; });
  FUZZ_CHECK(hdk_register_reg(kDev, &g_table) == 0 && g_hdk_chip_reg[9] == &g_table);
  static const int32_t kStatuses[] = {0, 0, 0, 0, 0, 1, 2, 0x100};
  for (int i = 0; i < 16 && in.remaining() > 0; ++i) {
    const Call c = draw_call(in);
    const uint8_t statuses = in.u8();
    g_statuses[0] = kStatuses[statuses % 8u];
    g_statuses[1] = kStatuses[statuses / 8u % 8u];
    g_log.clear();
    fuzz::printed.clear();
    // The caller's word (16 bits for hdk_read_reg16_field), before the call.
    uint32_t word = (c.op == kRead16 ? 0u : 0x5EED0000u) | (c.value & 0xFFFFu);
    const auto [result, log, word_after, message] = expect(g_r, c, word);
    FUZZ_CHECK(run(c, &word) == result && g_log == log && word == word_after);
    FUZZ_CHECK(fuzz::printed == std::vector<std::string>(message.empty() ? 0 : 1, message));
  }
  return 0;
}
