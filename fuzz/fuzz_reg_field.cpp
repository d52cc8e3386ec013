// Fuzzes the 32- and 16-bit field functions against a reference model of
// the element location rules, on a table of one drawn record registered for
// device 3 under chip id 9. The record is consistent mostly (positive and
// negative strides, bit-indexed or not, access types 7 and 8, arrays of up
// to 2^22 elements) and sometimes not: a field wider than the register or
// past it, whole_reg, elem_num 0, a wrong reg_bytes, a null ops_table or
// null access functions. Calls also name other devices, and missing
// modules, instances, registers and elements.
//
// The access functions log every call and answer with statuses the input
// chose (never -1, which means a refusal); a register reads as a value
// derived from its address. The model predicts each call exactly: its result
// (read status OR write status), every access in order, the caller's word
// afterwards, and the one refusal message or none.
#include <chip_util/register.h>

#include <optional>
#include <tuple>

#include "fuzz_support.hpp"

namespace {

// write?, width, device, address, and the word written or read (0 when
// the read failed).
using Access = std::tuple<bool, uint32_t, uint32_t, uint32_t, uint32_t>;
std::vector<Access> g_log;
int32_t g_statuses[3];  // the answers to a call's first and second access

uint32_t register_word(uint32_t width, uint32_t addr) {
  return (addr * 0x9E3779B1u) >> (32 - width);
}

template <typename Word, typename Addr>
int32_t log_read(uint32_t dev, Addr addr, Word *value) {
  const int32_t status = g_statuses[std::min<size_t>(g_log.size(), 2)];
  const uint32_t word = status == 0 ? register_word(8 * sizeof(Word), addr) : 0u;
  if (status == 0) *value = static_cast<Word>(word);  // a failing read stores nothing
  g_log.emplace_back(false, 8 * sizeof(Word), dev, addr, word);
  return status;
}

template <typename Word, typename Addr>
int32_t log_write(uint32_t dev, Addr addr, Word value) {
  g_log.emplace_back(true, 8 * sizeof(Word), dev, addr, value);
  return g_statuses[std::min<size_t>(g_log.size() - 1, 2)];
}

struct Record {
  uint32_t offset, reg_bytes, start, bits, elem_num, stride, flags, base;
} g_r;
hdk_reg_info g_info;
hdk_reg_inst g_inst = {0, 0, 0, 1, &g_info};
const hdk_reg_module g_module = {0, 1, &g_inst, 0, 0};
hdk_reg_ops g_ops;
hdk_chip_reg_table g_table = {0, 1, &g_module, {}, &g_ops};

constexpr uint32_t kDev = 3;
enum Op { kRead32, kWrite32, kSet32, kRead16, kWrite16 };
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
  std::optional<uint32_t> word;  // what a read or set leaves in the caller's word
  std::string message;           // empty: none
};

// The first rule that applies decides.
Expected expect(const Call &c, uint32_t word) {
  char head[96];  // every refusal message begins so
  std::snprintf(head, sizeof head, "\r\n%s(%u, %u, 0x%x, %u", kNames[c.op], c.dev, c.inst, c.reg_id,
                c.elem);
  const auto refused = [&head](const std::string &tail) {
    return Expected{-1, {}, {}, tail.empty() ? "" : head + tail};
  };
  const Record &r = g_r;
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
  // The element's field: a stride steps the address, or the bit position of
  // a bit-indexed field, which carries into the following registers.
  const bool bit_step = (r.flags & HDK_REG_BIT_INDEXED) != 0 && c.elem != 0;
  const uint32_t step = r.stride * c.elem;
  const uint32_t position = bit_step ? (r.start + step) & wrap : r.start;
  const uint32_t start = bit_step ? position % width : r.start;
  const uint32_t addr =
      (r.base + r.offset + (bit_step ? position / width * width / 8 : step)) & wrap;
  const uint32_t whole_addr = (r.base + r.offset + step) & wrap;
  const bool fits = start < width && r.bits <= width - start;
  const bool inside = fits && !(bit_step && r.start + int64_t{int32_t(r.stride)} * c.elem < 0);
  const auto mask = static_cast<uint32_t>(((uint64_t{1} << r.bits) - 1u) << start);
  const auto merge = [&](uint32_t old) { return (old & ~mask) | ((value << start) & mask); };

  if (c.op == kSet32) {  // no address to step: the position wraps modulo 32, below bit 0 too
    if (c.null_pointer || (r.flags & HDK_REG_WHOLE) != 0) return refused("");
    if (r.bits == 32) return {0, {}, value, ""};
    if (!value_fits) return refused(too_big);
    if (!fits) return refused(failed);
    return {0, {}, merge(word), ""};
  }
  const hdk_reg_ops ops = g_table.ops_table != nullptr ? g_ops : hdk_reg_ops{};
  const bool can_read = width == 32 ? ops.read32 != nullptr : ops.read16 != nullptr;
  const bool can_write = width == 32 ? ops.write32 != nullptr : ops.write16 != nullptr;
  const bool whole = (r.flags & HDK_REG_WHOLE) != 0 || r.bits == width;
  const int32_t s0 = g_statuses[0];
  if (c.op == kRead32 || c.op == kRead16) {
    if (c.null_pointer) return refused("");
    if (!can_read || (!whole && !inside)) return refused(failed);
    const uint32_t at = whole ? whole_addr : addr;
    const uint32_t got = s0 == 0 ? register_word(width, at) : 0u;
    // A field is stored even when the read fails; a whole register is not.
    const uint32_t stored = !whole ? (got & mask) >> start : s0 == 0 ? got : word;
    return {s0, {{false, width, c.dev, at, got}}, stored, ""};
  }
  // A write: whole registers and access types 7 and 8 write without reading.
  const bool reads = !whole && (r.flags >> 25) != 7 && (r.flags >> 25) != 8;
  if (!can_write || (reads && !can_read)) return refused(failed);
  if (whole) return {s0, {{true, width, c.dev, whole_addr, value}}, {}, ""};
  if (!value_fits) return refused(too_big);
  if (!inside) return refused(failed);
  const uint32_t old = reads && s0 == 0 ? register_word(width, addr) : 0u;
  const Access write = {true, width, c.dev, addr, merge(old)};
  if (!reads) return {s0, {write}, {}, ""};
  return {s0 | g_statuses[1], {{false, width, c.dev, addr, old}, write}, {}, ""};
}

int32_t run(const Call &c, uint32_t *word) {
  uint32_t *const out = c.null_pointer ? nullptr : word;
  uint16_t half = static_cast<uint16_t>(*word);
  const uint32_t d = c.dev, i = c.inst, id = c.reg_id, e = c.elem;
  const int32_t result = c.op == kRead32    ? hdk_read_reg32_field(d, i, id, e, out)
                         : c.op == kWrite32 ? hdk_write_reg32_field(d, i, id, e, c.value)
                         : c.op == kSet32   ? hdk_set_reg_field32(d, i, id, e, out, c.value)
                         : c.op == kRead16
                             ? hdk_read_reg16_field(d, i, id, e, out != nullptr ? &half : nullptr)
                             : hdk_write_reg16_field(d, i, id, e, static_cast<uint16_t>(c.value));
  if (c.op == kRead16) *word = half;
  return result;
}

// Mostly a register of the width of one of the two families, with a field
// that lies inside it at element 0; sometimes anything.
void draw_table(fuzz::Input &in) {
  Record &r = g_r;
  const uint8_t shape = in.u8();
  r.reg_bytes = (shape & 0xC0u) == 0 ? in.u8() % 9u : (shape & 0x80u) != 0 ? 4 : 2;
  const bool fits = (shape & 0x07u) != 0 && r.reg_bytes != 0;
  r.bits = fits ? 1u + in.below(8u * r.reg_bytes) : in.u8() % 40u;
  r.start = fits ? in.below(8u * r.reg_bytes - r.bits + 1u) : in.u8() % 40u;
  const uint8_t type = in.u8();
  r.flags = HDK_REG_ACCESS_TYPE(type < 0xA0 ? 0u : type < 0xC0 ? 7u : type < 0xE0 ? 8u : type);
  if ((shape & 0x08u) != 0) r.flags |= HDK_REG_BIT_INDEXED;
  if ((shape & 0x07u) == 0x07u) r.flags |= HDK_REG_WHOLE;
  const uint8_t stride = in.u8();  // 25 bits, signed
  r.stride =
      stride < 0xC0 ? stride % 80u - 40u : static_cast<uint32_t>(int32_t(in.u32() << 7) >> 7);
  const uint8_t elems = in.u8();
  r.elem_num = (shape & 0x30u) == 0x30u ? 0u
               : elems < 0xF8           ? 1u + elems % 12u
                                        : in.u32() % 0x400000u;
  r.offset = in.u16() % 0x2000u;
  static const uint32_t kBases[] = {0x0u, 0x1000u, 0xFFF0u, 0xFFFFFFF0u, 0x10004u, 0x7FFFFFF8u};
  const uint8_t base = in.u8();
  g_inst.base_addr = r.base = base < 0xC0 ? kBases[base % 6] : in.u32();
  g_info = HDK_REG_INFO(r.offset, r.reg_bytes, r.start, r.bits, r.elem_num, r.stride, r.flags);
  // The access functions, less those the input leaves out, or none at all.
  const uint8_t missing = in.u8();
  g_ops = {(missing & 1u) != 0 ? nullptr : log_read<uint16_t, uint16_t>,
           (missing & 2u) != 0 ? nullptr : log_write<uint16_t, uint16_t>,
           (missing & 4u) != 0 ? nullptr : log_read<uint32_t, uint32_t>,
           (missing & 8u) != 0 ? nullptr : log_write<uint32_t, uint32_t>};
  g_table.ops_table = (missing & 0x30u) == 0x30u ? nullptr : &g_ops;
}

Call draw_call(fuzz::Input &in) {
  Call c{};
  const uint8_t pick = in.u8();
  c.op = static_cast<Op>(pick % 5u);
  c.null_pointer = (pick & 0xF8u) == 0x08u;
  // Device 400 is past the registry, 4 has no table, 5 resolves past it.
  static const uint32_t kOtherDevs[] = {HDK_MAX_DEV_NUM + 80u, 4u, 5u};
  c.dev = (pick & 0xE0u) == 0xE0u ? kOtherDevs[in.u8() % 3u] : kDev;
  const uint8_t where = in.u8();
  c.inst = (where & 0x80u) != 0 ? 1 : 0;
  c.reg_id = (where & 0x40u) != 0 ? in.u32() : (where & 0x10u) != 0 ? 1 : 0;
  c.elem = (where & 0x20u) != 0 ? in.u32() & 0x7FFFFFu : in.u8() % 14u;
  const uint8_t value_pick = in.u8();
  c.value = value_pick < 0x80 ? value_pick % 16u : in.u32() >> (value_pick % 32u);
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in{data, size};
  draw_table(in);
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
    const Expected e = expect(c, word);
    const uint32_t before = word;
    FUZZ_CHECK(run(c, &word) == e.result && g_log == e.log && word == e.word.value_or(before));
    FUZZ_CHECK(fuzz::printed == std::vector<std::string>(e.message.empty() ? 0 : 1, e.message));
  }
  g_hdk_chip_reg[9] = nullptr;
  return 0;
}
