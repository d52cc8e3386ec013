// SPDX-License-Identifier: Apache-2.0
#include "layout.hpp"

#include <algorithm>

namespace chip::map {

std::string instance_bus(const Map &map, const Instance &instance) {
  if (!instance.bus.empty() || map.buses.empty()) {
    return instance.bus;
  }
  return map.buses.front().name;
}

std::vector<ModuleOf> modules_of(const Map &map) {
  std::vector<ModuleOf> modules;
  for (size_t b = 0; b < map.blocks.size(); ++b) {
    std::vector<ModuleOf> of_block;
    for (size_t bus = 0; bus < map.buses.size(); ++bus) {
      ModuleOf module{b, bus, map.blocks[b].name, {}};
      for (size_t i = 0; i < map.instances.size(); ++i) {
        const Instance &instance = map.instances[i];
        if (instance.block == map.blocks[b].name &&
            instance_bus(map, instance) == map.buses[bus].name) {
          module.instances.push_back(i);
        }
      }
      if (!module.instances.empty()) {
        of_block.push_back(std::move(module));
      }
    }
    if (of_block.size() > 1) {
      for (ModuleOf &module : of_block) {
        module.name += "_" + map.buses[module.bus].name;
      }
    }
    for (ModuleOf &module : of_block) {
      modules.push_back(std::move(module));
    }
  }
  return modules;
}

std::string c_identifier(const std::string &name) {
  std::string id;
  for (const char c : name) {
    if (c >= 'a' && c <= 'z') {
      id += static_cast<char>(c - 'a' + 'A');
    } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      id += c;
    } else {
      id += '_';
    }
  }
  return id;
}

uint64_t register_span(const Register &reg) {
  if (!bus_width(reg.bytes)) {
    return 1;
  }
  uint64_t span = 1;
  const int64_t width = static_cast<int64_t>(8 * reg.bytes);
  for (const Field &field : reg.fields) {
    if (!field.array || field.array->count == 0) {
      continue;
    }
    const int64_t last = static_cast<int64_t>(field.lsb) +
                         field.array->stride * static_cast<int64_t>(field.array->count - 1);
    const int64_t top = std::max(static_cast<int64_t>(field.lsb), last);
    if (top >= 0) {
      span = std::max(span, static_cast<uint64_t>(top / width) + 1);
    }
  }
  return span;
}

std::vector<Identifier> generated_identifiers(const Map &map, const std::string &prefix) {
  std::vector<Identifier> ids;
  const std::vector<ModuleOf> modules = modules_of(map);
  size_t count = 2 + map.buses.size() + map.instances.size();
  for (const ModuleOf &module : modules) {
    for (const Register &reg : map.blocks[module.block].registers) {
      count += 2;
      for (const Field &field : reg.fields) count += 2 + field.enums.size();
    }
  }
  ids.reserve(count);
  ids.push_back({prefix + "_MAP_H", &map.place});
  ids.push_back({prefix + "_BUS_NUM", &map.place});
  for (const Bus &bus : map.buses) {
    ids.push_back({prefix + "_BUS_" + c_identifier(bus.name), &bus.place});
  }
  for (const Instance &instance : map.instances) {
    ids.push_back({prefix + "_" + c_identifier(instance.name), &instance.place});
  }
  for (const ModuleOf &module : modules) {
    const Block &block = map.blocks[module.block];
    const std::string module_prefix = prefix + "_" + c_identifier(module.name);
    for (const Register &reg : block.registers) {
      const std::string reg_id = module_prefix + "_" + c_identifier(reg.name);
      ids.push_back({reg_id, &reg.place});
      ids.push_back({reg_id + "_RESET", &reg.place});
      for (const Field &field : reg.fields) {
        const std::string field_id = reg_id + "_" + c_identifier(field.name);
        ids.push_back({field_id, &field.place});
        ids.push_back({field_id + "_RESET", &field.place});
        for (const EnumValue &entry : field.enums) {
          ids.push_back({field_id + "_" + c_identifier(entry.name), &entry.place});
        }
      }
    }
  }
  return ids;
}

}  // namespace chip::map
