// Fuzzes the 32- and 16-bit field functions (hdk_read_reg32_field,
// hdk_write_reg32_field, hdk_set_reg_field32, hdk_read_reg16_field,
// hdk_write_reg16_field) over a registered table built from the input: up
// to two modules of two instances sharing up to four records. Records are
// consistent ones mostly, and inconsistent ones the library must survive:
// raw record words, fields wider than the register, start bits past it,
// negative strides, whole_reg, elem_num 0, a wrong reg_bytes, a null
// ops_table or null access functions, device numbers without a table.
//
// The access functions are a local recorder over a register bank that
// returns fuzzed statuses (never -1, so that -1 always means a refusal).
// A reference model of the element location, written from the address and
// bit-position rules, predicts every call: its result, the exact accesses
// (kind, width, device, address, written word) and the value stored. So a
// refused call makes no access, and every access lands at the address the
// element location allows. After a successful field or whole-register
// write, a read of the same element gives the value back, and a field write
// leaves the bits outside its field unchanged.
#include <chip_util/log.h>
#include <chip_util/register.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "fuzz_support.hpp"

namespace {

// ---- The recording access functions --------------------------------------

struct Access {
  bool write;
  uint32_t width;
  uint32_t dev;
  uint32_t addr;
  uint32_t value;  // written word, or the word a successful read stored
  bool operator==(const Access &o) const {
    return write == o.write && width == o.width && dev == o.dev && addr == o.addr &&
           value == o.value;
  }
};

struct Recorder {
  std::vector<Access> log;
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> bank;  // (width, addr) -> word
  int32_t statuses[2] = {0, 0};
  size_t next = 0;
};
Recorder g_rec;

// A never-written register reads as a value derived from its address, so
// that a read-modify-write has bits to keep.
uint32_t bank_get(uint32_t width, uint32_t addr) {
  const auto it = g_rec.bank.find({width, addr});
  const uint32_t value = it != g_rec.bank.end() ? it->second : addr * 0x9E3779B1u + width;
  return width == 16 ? (value & 0xFFFFu) : value;
}

int32_t next_status() { return g_rec.next < 2 ? g_rec.statuses[g_rec.next++] : 0; }

// A failing access does nothing but report its status.
template <typename Word>
int32_t rec_read(uint32_t dev, uint32_t addr, Word *value) {
  const int32_t status = next_status();
  const uint32_t width = 8u * sizeof(Word);
  uint32_t stored = 0;
  if (status == 0) {
    stored = bank_get(width, addr);
    *value = static_cast<Word>(stored);
  }
  g_rec.log.push_back({false, width, dev, addr, stored});
  return status;
}

template <typename Word>
int32_t rec_write(uint32_t dev, uint32_t addr, Word value) {
  const int32_t status = next_status();
  const uint32_t width = 8u * sizeof(Word);
  if (status == 0) g_rec.bank[{width, addr}] = value;
  g_rec.log.push_back({true, width, dev, addr, value});
  return status;
}

int32_t read16(uint32_t dev, uint16_t addr, uint16_t *value) { return rec_read(dev, addr, value); }
int32_t write16(uint32_t dev, uint16_t addr, uint16_t value) { return rec_write(dev, addr, value); }
int32_t read32(uint32_t dev, uint32_t addr, uint32_t *value) { return rec_read(dev, addr, value); }
int32_t write32(uint32_t dev, uint32_t addr, uint32_t value) { return rec_write(dev, addr, value); }

// ---- The table --------------------------------------------------------------

constexpr uint32_t kDev = 3;
constexpr size_t kRegs = 4;

struct Table {
  hdk_reg_info regs[kRegs];
  hdk_reg_inst insts[2][2];
  hdk_reg_module modules[2];
  hdk_reg_ops ops[2];
  hdk_chip_reg_table table;
};
Table g_t;

hdk_reg_info fuzzed_record(fuzz::Input &in) {
  const uint8_t mode = in.u8();
  if (mode < 0x20) {
    return {0, in.u32(), in.u32(), in.u32(), in.u32(), 0, 0};
  }
  // Mostly a record of the register's own width; sometimes another.
  const uint32_t reg_bytes = (mode & 0x80u) != 0 ? 4u : (mode & 0x40u) != 0 ? 2u : in.u8() % 9u;
  const uint32_t reg_bits = reg_bytes != 0 ? 8u * reg_bytes : 32u;
  const uint8_t shape = in.u8();
  uint32_t bits;
  uint32_t start;
  if ((shape & 0x0Fu) != 0) {  // a field that fits at element 0
    bits = 1u + in.below(reg_bits);
    start = in.below(reg_bits - bits + 1u);
  } else {  // anything: too wide, past the register, empty
    bits = in.u8() % 40u;
    start = in.u8() % 40u;
  }
  uint32_t flags = 0;
  if ((shape & 0x10u) != 0) flags |= HDK_REG_BIT_INDEXED;
  if ((shape & 0xE0u) == 0xE0u) flags |= HDK_REG_WHOLE;
  const uint8_t type_pick = in.u8();
  const uint32_t access_type = type_pick < 0xA0 ? 0u : type_pick < 0xC0 ? 7u : type_pick < 0xE0 ? 8u : type_pick & 0x7Fu;
  flags |= HDK_REG_ACCESS_TYPE(access_type);
  const uint8_t stride_pick = in.u8();
  const int32_t stride = stride_pick < 0xC0 ? static_cast<int32_t>(stride_pick % 80u) - 40
                                            : static_cast<int32_t>(in.u32() << 7) >> 7;
  const uint32_t elem_num = (shape & 0x0Fu) == 1u ? 0u : 1u + in.u8() % 12u;
  const uint32_t offset = in.u16() % 0x2000u;
  const hdk_reg_info record = HDK_REG_INFO(offset, reg_bytes, start, bits, elem_num, stride, flags);
  return record;
}

void build_table(fuzz::Input &in) {
  g_t = {};
  for (hdk_reg_info &reg : g_t.regs) reg = fuzzed_record(in);
  const uint8_t shape = in.u8();
  const uint32_t reg_num = 1u + shape % kRegs;
  static const uint32_t kBases[] = {0x0u, 0x1000u, 0xFFF0u, 0xFFFFFFF0u, 0x10004u, 0x7FFFFFF8u};
  for (auto &module_insts : g_t.insts) {
    for (hdk_reg_inst &inst : module_insts) {
      const uint8_t b = in.u8();
      const uint32_t base = b < 0xC0 ? kBases[b % 6] : in.u32();
      inst = {base, 0, 0, reg_num, g_t.regs};
    }
  }
  const uint32_t inst_num = (shape & 0x10u) != 0 ? 1u : 2u;
  g_t.modules[0] = {0, inst_num, g_t.insts[0], 0, 0};
  g_t.modules[1] = {0, 2, g_t.insts[1], 0, 1};
  // ops[0] is complete; ops[1] misses the functions the input names.
  g_t.ops[0] = {read16, write16, read32, write32};
  const uint8_t missing = in.u8();
  g_t.ops[1] = {(missing & 1u) != 0 ? nullptr : read16, (missing & 2u) != 0 ? nullptr : write16,
                (missing & 4u) != 0 ? nullptr : read32, (missing & 8u) != 0 ? nullptr : write32};
  g_t.table.module_num = (shape & 0x20u) != 0 ? 1u : 2u;
  g_t.table.modules = g_t.modules;
  g_t.table.ops_table = (shape & 0xC0u) == 0xC0u ? nullptr : g_t.ops;
  FUZZ_CHECK(hdk_register_reg(kDev, &g_t.table) == 0);
}

// ---- The reference model -----------------------------------------------------

struct Decoded {
  bool bit_indexed, whole;
  uint32_t offset, stride, access_type, elem_num, reg_bytes, bits, start;
};

Decoded decode(const hdk_reg_info &r) {
  const uint32_t raw = r.step & 0x1FFFFFFu;
  return {(r.loc & 1u) != 0,
          (r.loc & 2u) != 0,
          r.loc >> 2,
          (raw & 0x1000000u) != 0 ? raw | 0xFE000000u : raw,
          r.step >> 25,
          r.shape & 0x3FFFFFu,
          r.shape >> 22,
          (r.field >> 4) & 0x3FFFu,
          r.field >> 18};
}

struct Spot {
  uint32_t addr;
  uint32_t start;
  uint32_t mask;
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
      const int64_t true_position = int64_t{d.start} + int64_t{static_cast<int32_t>(d.stride)} * elem;
      if (true_position < 0) return std::nullopt;
      const uint32_t p = wrap(d.start + step, width);
      addr = wrap(addr + (p / width) * (width / 8u), width);
      start = p % width;
    }
  }
  if (start >= width || d.bits > width - start) return std::nullopt;
  const uint64_t ones = (uint64_t{1} << d.bits) - 1u;
  return Spot{addr, start, static_cast<uint32_t>(wrap(static_cast<uint32_t>(ones << start), width))};
}

enum class Op { kRead32, kWrite32, kSet32, kRead16, kWrite16 };

struct Call {
  Op op;
  uint32_t dev, inst, reg_id, elem, value;
  bool null_pointer;
};

struct Expected {
  int32_t result = -1;
  std::vector<Access> log;
  std::optional<uint32_t> stored;  // what the read or set leaves in the caller's word
};

// Finds the record the call names; null when the index check refuses it.
const hdk_reg_info *lookup(const Call &c, const hdk_reg_ops **ops, uint32_t *base) {
  if (c.dev != kDev) return nullptr;
  const uint32_t module = HDK_REG_ID_MODULE(c.reg_id);
  const uint32_t index = HDK_REG_ID_INDEX(c.reg_id);
  if (module >= g_t.table.module_num) return nullptr;
  const hdk_reg_module &m = g_t.modules[module];
  if (c.inst >= m.inst_num) return nullptr;
  const hdk_reg_inst &inst = m.insts[c.inst];
  if (index >= inst.reg_num) return nullptr;
  const hdk_reg_info &reg = inst.regs[index];
  if (c.elem >= decode(reg).elem_num) return nullptr;
  *ops = g_t.table.ops_table != nullptr ? &g_t.table.ops_table[m.ops_index] : nullptr;
  *base = inst.base_addr;
  return &reg;
}

Expected expect(const Call &c, uint32_t caller_word) {
  Expected e;
  const hdk_reg_ops *ops = nullptr;
  uint32_t base = 0;
  const hdk_reg_info *reg = lookup(c, &ops, &base);
  if (reg == nullptr) return e;
  const Decoded d = decode(*reg);
  const bool wide32 = c.op == Op::kRead32 || c.op == Op::kWrite32 || c.op == Op::kSet32;
  const uint32_t width = wide32 ? 32u : 16u;
  if (d.reg_bytes != width / 8u) return e;
  const bool is_read = c.op == Op::kRead32 || c.op == Op::kRead16;
  const bool whole = d.whole || d.bits == width;
  const std::optional<Spot> spot = locate(base, d, c.elem, width);

  if (c.op == Op::kSet32) {
    if (c.null_pointer || d.whole) return e;
    if (d.bits == 32) {
      e.result = 0;
      e.stored = c.value;
      return e;
    }
    if (d.bits < 32 && (c.value >> d.bits) != 0) return e;
    // In the caller's word there is no address to step: a bit-indexed
    // position wraps modulo 32, below bit 0 included.
    const uint32_t start =
        c.elem != 0 && d.bit_indexed ? (d.start + d.stride * c.elem) % 32u : d.start;
    if (start >= 32u || d.bits > 32u - start) return e;
    const auto mask = static_cast<uint32_t>(((uint64_t{1} << d.bits) - 1u) << start);
    e.result = 0;
    e.stored = (caller_word & ~mask) | ((c.value << start) & mask);
    return e;
  }

  const bool has_read = ops != nullptr && (wide32 ? ops->read32 != nullptr : ops->read16 != nullptr);
  const bool has_write = ops != nullptr && (wide32 ? ops->write32 != nullptr : ops->write16 != nullptr);
  const int32_t s0 = g_rec.statuses[0];
  const int32_t s1 = g_rec.statuses[1];
  if (is_read) {
    if (c.null_pointer || !has_read) return e;
    uint32_t addr;
    if (whole) {
      addr = wrap(base + d.offset + d.stride * c.elem, width);
    } else {
      if (!spot) return e;
      addr = spot->addr;
    }
    const uint32_t word = s0 == 0 ? bank_get(width, addr) : 0u;
    e.log.push_back({false, width, c.dev, addr, word});
    e.result = s0;
    if (whole) {
      e.stored = s0 == 0 ? word : caller_word;
    } else {
      e.stored = (word & spot->mask) >> spot->start;
    }
    return e;
  }

  // A write.
  if (!has_write) return e;
  const uint32_t value = wrap(c.value, width);
  if (whole) {
    const uint32_t addr = wrap(base + d.offset + d.stride * c.elem, width);
    e.log.push_back({true, width, c.dev, addr, value});
    e.result = s0;
    return e;
  }
  if (d.bits < 32 && (value >> d.bits) != 0) return e;
  if (!spot) return e;
  const bool skip_read = d.access_type == 7 || d.access_type == 8;
  if (!skip_read && !has_read) return e;
  uint32_t old_word = 0;
  int32_t read_status = 0;
  int32_t write_status = s0;
  if (!skip_read) {
    read_status = s0;
    write_status = s1;
    old_word = s0 == 0 ? bank_get(width, spot->addr) : 0u;
    e.log.push_back({false, width, c.dev, spot->addr, old_word});
  }
  const uint32_t merged = wrap((old_word & ~spot->mask) | ((value << spot->start) & spot->mask), width);
  e.log.push_back({true, width, c.dev, spot->addr, merged});
  e.result = read_status | write_status;
  return e;
}

// ---- Running a call ------------------------------------------------------------

int32_t status_of(uint8_t pick) {
  static const int32_t kStatuses[] = {0, 0, 0, 0, 0, 1, 2, 0x100};
  return kStatuses[pick % 8u];
}

int32_t run(const Call &c, uint32_t *word) {
  uint16_t word16 = static_cast<uint16_t>(*word);
  int32_t result = -1;
  switch (c.op) {
    case Op::kRead32:
      result = hdk_read_reg32_field(c.dev, c.inst, c.reg_id, c.elem, c.null_pointer ? nullptr : word);
      break;
    case Op::kWrite32:
      result = hdk_write_reg32_field(c.dev, c.inst, c.reg_id, c.elem, c.value);
      break;
    case Op::kSet32:
      result = hdk_set_reg_field32(c.dev, c.inst, c.reg_id, c.elem, c.null_pointer ? nullptr : word,
                                   c.value);
      break;
    case Op::kRead16:
      result = hdk_read_reg16_field(c.dev, c.inst, c.reg_id, c.elem, c.null_pointer ? nullptr : &word16);
      *word = word16;
      break;
    case Op::kWrite16:
      result = hdk_write_reg16_field(c.dev, c.inst, c.reg_id, c.elem, static_cast<uint16_t>(c.value));
      break;
  }
  return result;
}

// Runs one call with the given statuses and checks it against the model.
int32_t checked_run(const Call &c, int32_t s0, int32_t s1, uint32_t *word_out) {
  g_rec.log.clear();
  g_rec.statuses[0] = s0;
  g_rec.statuses[1] = s1;
  g_rec.next = 0;
  uint32_t word = 0x5EED0000u | (c.value & 0xFFFFu);
  if (c.op == Op::kRead16) word &= 0xFFFFu;
  const Expected e = expect(c, word);  // before the call: the bank as it is now
  const uint32_t before = word;
  const int32_t result = run(c, &word);
  FUZZ_CHECK(result == e.result);
  if (result == -1) FUZZ_CHECK(g_rec.log.empty());
  FUZZ_CHECK(g_rec.log == e.log);
  FUZZ_CHECK(word == (e.stored ? *e.stored : before));
  *word_out = word;
  return result;
}

Call fuzzed_call(fuzz::Input &in) {
  Call c{};
  const uint8_t pick = in.u8();
  c.op = static_cast<Op>(pick % 5u);
  c.dev = (pick & 0xE0u) == 0xE0u ? (in.flag() ? 400u : 4u) : kDev;
  const uint8_t where = in.u8();
  c.inst = (where & 0x80u) != 0 ? in.u8() % 3u : where & 1u;
  c.reg_id = (where & 0x40u) != 0 ? in.u32() : HDK_REG_ID((where >> 1) & 1u, (where >> 2) % (kRegs + 1));
  c.elem = (where & 0x20u) != 0 ? in.u32() : in.u8() % 14u;
  const uint8_t value_pick = in.u8();
  c.value = value_pick < 0x80 ? value_pick % 16u : in.u32() >> (value_pick % 32u);
  c.null_pointer = (pick & 0xF8u) == 0x08u;
  return c;
}

// After a write that went through without failing: reading the element
// back gives the value, and a field write changed no bit outside its field
// (a write that skips its read writes them as 0).
void check_write_back(const Call &write) {
  const bool wide32 = write.op == Op::kWrite32;
  const Access written = g_rec.log.back();
  // The word the write's read stage saw (0 when it skipped the read).
  const uint32_t old_word = g_rec.log.size() == 2 ? g_rec.log.front().value : 0u;

  const hdk_reg_ops *ops = nullptr;
  uint32_t base = 0;
  const hdk_reg_info *reg = lookup(write, &ops, &base);
  FUZZ_CHECK(reg != nullptr && ops != nullptr);
  if ((wide32 ? ops->read32 == nullptr : ops->read16 == nullptr)) return;  // write-only module

  Call read = write;
  read.op = wide32 ? Op::kRead32 : Op::kRead16;
  read.null_pointer = false;
  uint32_t back = 0;
  FUZZ_CHECK(checked_run(read, 0, 0, &back) == 0);
  FUZZ_CHECK(back == (wide32 ? write.value : (write.value & 0xFFFFu)));
  FUZZ_CHECK(g_rec.log.size() == 1 && g_rec.log.front().addr == written.addr);

  const Decoded d = decode(*reg);
  const uint32_t width = wide32 ? 32u : 16u;
  if (d.whole || d.bits == width) return;
  const std::optional<Spot> spot = locate(base, d, write.elem, width);
  FUZZ_CHECK(spot.has_value() && spot->addr == written.addr);
  const uint32_t outside = ~spot->mask & (wide32 ? 0xFFFFFFFFu : 0xFFFFu);
  FUZZ_CHECK((written.value & outside) == (old_word & outside));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  g_hdk_printf_func = (in.u8() & 0x0Fu) == 0 ? nullptr : fuzz::quiet_print;
  g_rec = Recorder{};
  build_table(in);
  for (int i = 0; i < 16 && in.remaining() > 0; ++i) {
    const Call c = fuzzed_call(in);
    const uint8_t statuses = in.u8();
    uint32_t word = 0;
    const int32_t result = checked_run(c, status_of(statuses), status_of(statuses >> 3), &word);
    if (result == 0 && (c.op == Op::kWrite32 || c.op == Op::kWrite16)) {
      check_write_back(c);
    }
  }
  g_hdk_chip_reg[kDev] = nullptr;
  return 0;
}
