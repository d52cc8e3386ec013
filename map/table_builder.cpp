// SPDX-License-Identifier: Apache-2.0
#include "table_builder.hpp"

#include "layout.hpp"

#include <algorithm>

namespace chip::map {
namespace {

std::string lower(std::string text) {
  for (char &c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// Bits of the register (0 to width - 1) that a field's elements cover.
uint32_t field_mask_in_register(const Field &field, uint64_t width) {
  uint32_t mask = 0;
  const uint64_t count = field.array ? field.array->count : 1;
  const int64_t stride = field.array ? field.array->stride : 0;
  // Positions within the register repeat after at most `width` elements.
  for (uint64_t i = 0; i < std::min<uint64_t>(count, width); ++i) {
    const int64_t position = static_cast<int64_t>(field.lsb) + stride * static_cast<int64_t>(i);
    const uint64_t start = static_cast<uint64_t>(position) % width;
    for (uint64_t b = start; b < start + field.bits && b < width; ++b) {
      mask |= 1u << b;
    }
  }
  return mask;
}

RecordPlan whole_record(const Register &reg, const std::string &ident) {
  RecordPlan record;
  record.offset = static_cast<uint32_t>(reg.offset);
  record.bytes = static_cast<uint32_t>(reg.bytes);
  record.field_bits = static_cast<uint32_t>(8 * reg.bytes);
  record.whole = true;
  record.access = reg.access;
  const uint64_t span = register_span(reg);
  if (reg.array) {
    record.elem_num = static_cast<uint32_t>(reg.array->count);
    record.stride = static_cast<int32_t>(reg.array->stride);
  } else if (span > 1) {
    record.elem_num = static_cast<uint32_t>(span);
    record.stride = static_cast<int32_t>(reg.bytes);
  }
  record.reg = reg.name;
  record.description = reg.description;
  record.ident = ident;
  record.reset = register_reset(reg);
  if (bus_width(reg.bytes)) {
    for (const Field &field : reg.fields) {
      const Access kind = field_access(reg, field);
      if (kind == Access::w1c || kind == Access::w1s) {
        record.rmw_zero |= field_mask_in_register(field, 8 * reg.bytes);
      } else if (kind == Access::w0c) {
        record.rmw_one |= field_mask_in_register(field, 8 * reg.bytes);
      }
    }
  }
  return record;
}

RecordPlan field_record(const Register &reg, const Field &field, const std::string &ident) {
  RecordPlan record;
  record.offset = static_cast<uint32_t>(reg.offset);
  record.bytes = static_cast<uint32_t>(reg.bytes);
  record.start_bit = static_cast<uint32_t>(field.lsb);
  record.field_bits = static_cast<uint32_t>(field.bits);
  record.access = field_access(reg, field);
  if (reg.array) {
    record.elem_num = static_cast<uint32_t>(reg.array->count);
    record.stride = static_cast<int32_t>(reg.array->stride);
  } else if (field.array) {
    record.elem_num = static_cast<uint32_t>(field.array->count);
    record.stride = static_cast<int32_t>(field.array->stride);
    record.bit_indexed = true;
  }
  record.reg = reg.name;
  record.field = field.name;
  record.description = field.description;
  record.ident = ident;
  record.reset = field_reset(reg, field);
  for (const EnumValue &entry : field.enums) {
    record.enums.push_back({entry.name, ident + "_" + c_identifier(entry.name), entry.value});
  }
  return record;
}

}  // namespace

TablePlan plan_table(const Map &map, const std::string &name) {
  TablePlan plan;
  const std::string chip = name.empty() ? map.chip : name;
  plan.prefix = c_identifier(chip);
  plan.name = lower(plan.prefix);
  plan.source = map.file;
  for (const Bus &bus : map.buses) {
    plan.buses.push_back(bus.name);
    plan.bus_idents.push_back(plan.prefix + "_BUS_" + c_identifier(bus.name));
  }
  for (const Instance &instance : map.instances) {
    plan.instances.push_back({instance.name, plan.prefix + "_" + c_identifier(instance.name),
                              instance_bus(map, instance), static_cast<uint32_t>(instance.base), 0, 0});
  }
  for (const ModuleOf &of : modules_of(map)) {
    const Block &block = map.blocks[of.block];
    ModulePlan module;
    module.name = of.name;
    module.block = block.name;
    module.bus = map.buses[of.bus].name;
    module.ops_index = static_cast<uint32_t>(of.bus);
    const std::string module_prefix = plan.prefix + "_" + c_identifier(of.name);
    for (const Register &reg : block.registers) {
      const std::string reg_ident = module_prefix + "_" + c_identifier(reg.name);
      const auto whole_index = static_cast<uint32_t>(module.records.size());
      module.records.push_back(whole_record(reg, reg_ident));
      module.records.back().whole_index = whole_index;
      for (const Field &field : reg.fields) {
        module.records.push_back(field_record(reg, field, reg_ident + "_" + c_identifier(field.name)));
        module.records.back().whole_index = whole_index;
      }
    }
    const auto module_index = static_cast<uint32_t>(plan.modules.size());
    for (const size_t i : of.instances) {
      plan.instances[i].module = module_index;
      plan.instances[i].inst = static_cast<uint32_t>(module.instances.size());
      module.instances.push_back(static_cast<uint32_t>(i));
    }
    plan.modules.push_back(std::move(module));
  }
  return plan;
}

hdk_reg_info pack_record(const RecordPlan &r) {
  const uint32_t flags = (r.bit_indexed ? HDK_REG_BIT_INDEXED : 0u) | (r.whole ? HDK_REG_WHOLE : 0u) |
                         HDK_REG_ACCESS_TYPE(static_cast<uint32_t>(r.access));
  const hdk_reg_info packed =
      HDK_REG_INFO(r.offset, r.bytes, r.start_bit, r.field_bits, r.elem_num, r.stride, flags);
  return packed;
}

std::vector<uint32_t> field_buffer(const Value &value, uint32_t bits) {
  const size_t count = (bits + 31) / 32;
  std::vector<uint32_t> buffer(count, 0);
  for (size_t i = 0; i < count && i < value.words.size(); ++i) {
    buffer[count - 1 - i] = value.words[i];
  }
  return buffer;
}

BuiltTable::BuiltTable(TablePlan plan) : plan_(std::move(plan)) {
  stores_.resize(plan_.modules.size());
  for (size_t m = 0; m < plan_.modules.size(); ++m) {
    const ModulePlan &module = plan_.modules[m];
    ModuleStore &store = stores_[m];
    store.enums.resize(module.records.size());
    store.reset_words.resize(module.records.size());
    for (size_t r = 0; r < module.records.size(); ++r) {
      const RecordPlan &record = module.records[r];
      store.regs.push_back(pack_record(record));
      for (const EnumPlan &entry : record.enums) {
        store.enums[r].push_back({entry.name.c_str(), entry.value.low64()});
      }
      if (!record.reset.fits(64)) {
        store.reset_words[r] = field_buffer(record.reset, record.field_bits);
      }
    }
    for (size_t r = 0; r < module.records.size(); ++r) {
      const RecordPlan &record = module.records[r];
      store.records.push_back({record.reg.c_str(), record.whole ? nullptr : record.field.c_str(),
                               static_cast<uint32_t>(record.access), record.whole_index,
                               record.reset.low64(),
                               store.reset_words[r].empty() ? nullptr : store.reset_words[r].data(),
                               record.rmw_zero, record.rmw_one,
                               static_cast<uint32_t>(store.enums[r].size()),
                               store.enums[r].empty() ? nullptr : store.enums[r].data()});
    }
    for (const uint32_t i : module.instances) {
      store.insts.push_back({plan_.instances[i].base, 0, 0, static_cast<uint32_t>(store.regs.size()),
                             store.regs.empty() ? nullptr : store.regs.data()});
    }
    modules_.push_back({0, static_cast<uint32_t>(store.insts.size()), store.insts.data(), 0,
                        module.ops_index});
    module_names_.push_back({module.name.c_str(), module.block.c_str(),
                             static_cast<uint32_t>(store.records.size()),
                             store.records.empty() ? nullptr : store.records.data()});
  }
  for (const InstancePlan &instance : plan_.instances) {
    instances_.push_back({instance.name.c_str(), instance.base, instance.module, instance.inst});
  }
  for (const std::string &bus : plan_.buses) {
    buses_.push_back(bus.c_str());
  }
  table_ = {0, static_cast<uint32_t>(modules_.size()), modules_.empty() ? nullptr : modules_.data(),
            {0, 0, 0, 0, 0}, nullptr};
  names_ = {plan_.name.c_str(), static_cast<uint32_t>(buses_.size()), buses_.data(), &table_,
            static_cast<uint32_t>(module_names_.size()),
            module_names_.empty() ? nullptr : module_names_.data(),
            static_cast<uint32_t>(instances_.size()), instances_.empty() ? nullptr : instances_.data()};
}

std::unique_ptr<BuiltTable> build_table(const Map &map, const std::string &name) {
  return std::make_unique<BuiltTable>(plan_table(map, name));
}

}  // namespace chip::map
