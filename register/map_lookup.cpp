// SPDX-License-Identifier: Apache-2.0
// Name and address lookups over a chip's name table: plain scans of const
// data, then the element located with the same arithmetic the field
// functions use, so a name always leads to the register the access reaches.
#include <chip_util/map.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "field_location.hpp"
#include "reg_info.hpp"

namespace {

using chip_reg::bit_indexed;
using chip_reg::elem_num;
using chip_reg::field_bits;
using chip_reg::reg_bytes;
using chip_reg::start_bit;

struct Where {
  uint32_t addr;
  uint32_t start_bit;
  uint32_t bits;
  uint32_t whole_elem;
};

// The register and bits that element `elem` of `reg` reaches, or nothing
// when the field functions would refuse the element.
template <typename Word>
std::optional<Where> locate_narrow(uint32_t base, const hdk_reg_info &reg, uint32_t elem) {
  constexpr uint32_t kBits = chip_reg::RegWidth<Word>::kBits;
  if (chip_reg::whole_word_access<Word>(reg)) {
    return Where{chip_reg::whole_word_address<Word>(base, reg, elem), 0, kBits, elem};
  }
  const auto spot = chip_reg::locate_field<Word>(base, reg, elem);
  if (!spot.valid) {
    return std::nullopt;
  }
  uint32_t whole_elem = elem;
  if (bit_indexed(reg)) {
    const Word first = static_cast<Word>(base + chip_reg::offset(reg));
    whole_elem = static_cast<Word>(spot.addr - first) / chip_reg::RegWidth<Word>::kBytes;
  }
  return Where{spot.addr, spot.start_bit, field_bits(reg), whole_elem};
}

// Wider registers are worked on as one image: a bit-indexed position wraps
// inside it, and only a register array steps the address.
std::optional<Where> locate_wide(uint32_t base, const hdk_reg_info &reg, uint32_t elem) {
  const uint32_t width = 8u * reg_bytes(reg);
  const uint32_t first = base + chip_reg::offset(reg);
  if (chip_reg::whole_reg(reg)) {
    return Where{first + chip_reg::stride(reg) * elem, 0, width, elem};
  }
  if (width == 0) {
    return std::nullopt;
  }
  if (bit_indexed(reg)) {
    const uint32_t position = (chip_reg::stride(reg) * elem + start_bit(reg)) % width;
    if (field_bits(reg) == 0 || field_bits(reg) > width - position) {
      return std::nullopt;
    }
    return Where{first, position, field_bits(reg), 0};
  }
  if (field_bits(reg) == 0 || start_bit(reg) >= width || field_bits(reg) > width - start_bit(reg)) {
    return std::nullopt;
  }
  return Where{first + chip_reg::stride(reg) * elem, start_bit(reg), field_bits(reg), elem};
}

std::optional<Where> locate(uint32_t base, const hdk_reg_info &reg, uint32_t elem) {
  switch (reg_bytes(reg)) {
    case 4:
      return locate_narrow<uint32_t>(base, reg, elem);
    case 2:
      return locate_narrow<uint16_t>(base, reg, elem);
    default:
      return locate_wide(base, reg, elem);
  }
}

const chip_map_instance *instance_at(const chip_map_names &names, uint32_t module, uint32_t inst) {
  for (uint32_t i = 0; i < names.instance_num; ++i) {
    if (names.instances[i].module == module && names.instances[i].inst == inst) {
      return &names.instances[i];
    }
  }
  return nullptr;
}

// Fills a target for (instance, record index, element) after checking that
// the names and the table agree on every index used.
int32_t fill_target(const chip_map_names &names, const chip_map_instance &instance,
                    uint32_t index, uint32_t elem, chip_map_target *target) {
  const hdk_chip_reg_table *table = names.table;
  if (table == nullptr || instance.module >= names.module_num ||
      instance.module >= table->module_num || table->modules == nullptr) {
    return CHIP_MAP_INCONSISTENT;
  }
  const chip_map_module &module = names.modules[instance.module];
  const hdk_reg_module &table_module = table->modules[instance.module];
  if (instance.inst >= table_module.inst_num || table_module.insts == nullptr) {
    return CHIP_MAP_INCONSISTENT;
  }
  const hdk_reg_inst &table_inst = table_module.insts[instance.inst];
  if (index >= module.record_num || index >= table_inst.reg_num || table_inst.regs == nullptr ||
      module.records[index].whole >= module.record_num ||
      module.records[index].whole >= table_inst.reg_num) {
    return CHIP_MAP_INCONSISTENT;
  }
  const hdk_reg_info &record = table_inst.regs[index];
  if (elem >= elem_num(record)) {
    return CHIP_MAP_BAD_ELEMENT;
  }
  const std::optional<Where> where = locate(table_inst.base_addr, record, elem);
  if (!where) {
    return CHIP_MAP_INCONSISTENT;
  }
  const chip_map_record &whole = module.records[module.records[index].whole];
  chip_map_target found{};
  found.instance = &instance;
  found.module = &module;
  found.names = &module.records[index];
  found.record = &record;
  found.inst = instance.inst;
  found.reg_id = HDK_REG_ID(instance.module, index);
  found.elem = elem;
  found.whole_reg_id = HDK_REG_ID(instance.module, module.records[index].whole);
  found.whole_elem = where->whole_elem;
  found.addr = where->addr;
  found.start_bit = where->start_bit;
  found.field_bits = where->bits;
  found.reg_bytes = reg_bytes(record);
  found.access = module.records[index].access;
  found.rmw_zero = whole.rmw_zero;
  found.rmw_one = whole.rmw_one;
  *target = found;
  return CHIP_MAP_FOUND;
}

// One part of a dotted name: "VLAN_PRI" or "VLAN_PRI[5]".
struct Part {
  std::string_view name;
  std::optional<uint32_t> index;
  bool ok = false;
};

std::optional<uint32_t> parse_index(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * static_cast<uint64_t>(base) + digit;
    if (value > UINT32_MAX) {
      return std::nullopt;
    }
  }
  return static_cast<uint32_t>(value);
}

Part parse_part(std::string_view text) {
  Part part;
  const size_t open = text.find('[');
  if (open == std::string_view::npos) {
    part.name = text;
    part.ok = !text.empty() && text.find(']') == std::string_view::npos;
    return part;
  }
  if (open == 0 || text.back() != ']') {
    return part;
  }
  part.name = text.substr(0, open);
  part.index = parse_index(text.substr(open + 1, text.size() - open - 2));
  part.ok = part.index.has_value();
  return part;
}

bool same(const char *stored, std::string_view wanted) {
  return stored != nullptr && std::string_view(stored) == wanted;
}

std::optional<uint32_t> find_record(const chip_map_module &module, std::string_view reg,
                                    const char *field_or_null, std::string_view field) {
  for (uint32_t i = 0; i < module.record_num; ++i) {
    const chip_map_record &r = module.records[i];
    if (!same(r.reg, reg)) {
      continue;
    }
    if (field_or_null == nullptr ? r.field == nullptr : same(r.field, field)) {
      return i;
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int32_t chip_map_find(const chip_map_names *names, const char *name,
                                 chip_map_target *target) {
  if (names == nullptr || name == nullptr || target == nullptr) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  const std::string_view text(name);
  const size_t dot1 = text.find('.');
  if (dot1 == std::string_view::npos) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  const size_t dot2 = text.find('.', dot1 + 1);
  const std::string_view inst_name = text.substr(0, dot1);
  const Part reg = parse_part(text.substr(dot1 + 1, dot2 == std::string_view::npos
                                                        ? std::string_view::npos
                                                        : dot2 - dot1 - 1));
  Part field;
  if (dot2 != std::string_view::npos) {
    field = parse_part(text.substr(dot2 + 1));
    if (!field.ok || field.name.find('.') != std::string_view::npos) {
      return CHIP_MAP_BAD_ARGUMENT;
    }
  }
  if (inst_name.empty() || !reg.ok) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  const chip_map_instance *instance = nullptr;
  for (uint32_t i = 0; i < names->instance_num && instance == nullptr; ++i) {
    if (same(names->instances[i].name, inst_name)) {
      instance = &names->instances[i];
    }
  }
  if (instance == nullptr) {
    return CHIP_MAP_NO_INSTANCE;
  }
  if (instance->module >= names->module_num) {
    return CHIP_MAP_INCONSISTENT;
  }
  const chip_map_module &module = names->modules[instance->module];
  const std::optional<uint32_t> whole = find_record(module, reg.name, nullptr, {});
  if (!whole) {
    return CHIP_MAP_NO_REGISTER;
  }
  uint32_t index = *whole;
  std::optional<uint32_t> elem = reg.index;
  if (dot2 != std::string_view::npos) {
    const std::optional<uint32_t> found = find_record(module, reg.name, "", field.name);
    if (!found) {
      return CHIP_MAP_NO_FIELD;
    }
    index = *found;
    chip_map_target probe{};
    const int32_t status = fill_target(*names, *instance, index, 0, &probe);
    if (status != CHIP_MAP_FOUND) {
      return status;
    }
    // A field array is indexed after the field, a field of a register array
    // after the register; never both.
    if (bit_indexed(*probe.record) && !chip_reg::whole_reg(*probe.record)) {
      if (reg.index) {
        return CHIP_MAP_BAD_ELEMENT;
      }
      elem = field.index;
    } else if (field.index) {
      return CHIP_MAP_BAD_ELEMENT;
    }
  }
  chip_map_target found{};
  const int32_t status = fill_target(*names, *instance, index, elem.value_or(0), &found);
  if (status != CHIP_MAP_FOUND) {
    return status;
  }
  if (!elem && elem_num(*found.record) != 1) {
    return CHIP_MAP_BAD_ELEMENT;
  }
  *target = found;
  return CHIP_MAP_FOUND;
}

namespace {

// The element of whole-register record `reg` at `first` that covers addr,
// addresses taken modulo `wrap` (2^16 for 16-bit registers, else 2^32).
std::optional<uint32_t> element_covering(uint32_t addr, uint64_t first, const hdk_reg_info &reg,
                                         uint64_t wrap) {
  const int64_t stride = static_cast<int32_t>(chip_reg::stride(reg));
  const int64_t count = elem_num(reg);
  const int64_t bytes = reg_bytes(reg);
  for (const int64_t shift : {int64_t{0}, static_cast<int64_t>(wrap), -static_cast<int64_t>(wrap)}) {
    const int64_t delta = static_cast<int64_t>(addr) + shift - static_cast<int64_t>(first);
    int64_t guess = 0;
    if (stride != 0) {
      guess = delta / stride;
      if ((delta % stride != 0) && ((delta < 0) != (stride < 0))) {
        --guess;  // floor division
      }
    }
    for (const int64_t e : {guess, guess - 1, guess + 1}) {
      if (e >= 0 && e < count && delta - e * stride >= 0 && delta - e * stride < bytes) {
        return static_cast<uint32_t>(e);
      }
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int32_t chip_map_find_addr(const chip_map_names *names, uint32_t addr,
                                      chip_map_target *target) {
  if (names == nullptr || target == nullptr) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  const hdk_chip_reg_table *table = names->table;
  for (uint32_t i = 0; i < names->instance_num; ++i) {
    const chip_map_instance &instance = names->instances[i];
    if (table == nullptr || instance.module >= names->module_num ||
        instance.module >= table->module_num ||
        instance.inst >= table->modules[instance.module].inst_num) {
      return CHIP_MAP_INCONSISTENT;
    }
    const chip_map_module &module = names->modules[instance.module];
    const hdk_reg_inst &inst = table->modules[instance.module].insts[instance.inst];
    const uint32_t count = module.record_num < inst.reg_num ? module.record_num : inst.reg_num;
    for (uint32_t r = 0; r < count; ++r) {
      if (module.records[r].field != nullptr) {
        continue;
      }
      const hdk_reg_info &reg = inst.regs[r];
      const uint64_t wrap = reg_bytes(reg) == 2 ? 0x10000u : 0x100000000u;
      const uint64_t first = (uint64_t{inst.base_addr} + chip_reg::offset(reg)) % wrap;
      const std::optional<uint32_t> elem = element_covering(addr, first, reg, wrap);
      if (elem) {
        return fill_target(*names, instance, r, *elem, target);
      }
    }
  }
  return CHIP_MAP_NO_INSTANCE;
}

extern "C" int32_t chip_map_target_of(const chip_map_names *names, uint32_t inst,
                                      uint32_t reg_id, uint32_t elem, chip_map_target *target) {
  if (names == nullptr || target == nullptr) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  const chip_map_instance *instance = instance_at(*names, HDK_REG_ID_MODULE(reg_id), inst);
  if (instance == nullptr) {
    return CHIP_MAP_NO_INSTANCE;
  }
  return fill_target(*names, *instance, HDK_REG_ID_INDEX(reg_id), elem, target);
}

extern "C" int32_t chip_map_name_of(const chip_map_names *names, uint32_t inst, uint32_t reg_id,
                                    uint32_t elem, char *buf, size_t size) {
  if (buf != nullptr && size > 0) {
    buf[0] = '\0';
  }
  if (names == nullptr || (buf == nullptr && size > 0)) {
    return CHIP_MAP_BAD_ARGUMENT;
  }
  chip_map_target found{};
  const int32_t status = chip_map_target_of(names, inst, reg_id, elem, &found);
  if (status != CHIP_MAP_FOUND) {
    return status;
  }
  const chip_map_instance &instance = *found.instance;
  const bool array = elem_num(*found.record) != 1;
  const bool field_array = array && bit_indexed(*found.record) && !chip_reg::whole_reg(*found.record);
  char reg_index[16] = "";
  char field_index[16] = "";
  if (array) {
    std::snprintf(field_array ? field_index : reg_index, sizeof reg_index, "[%u]",
                  static_cast<unsigned>(elem));
  }
  const char *field = found.names->field;
  const int written = std::snprintf(buf, size, "%s.%s%s%s%s%s", instance.name, found.names->reg,
                                    reg_index, field != nullptr ? "." : "",
                                    field != nullptr ? field : "", field_index);
  return written < 0 ? CHIP_MAP_BAD_ARGUMENT : written;
}
