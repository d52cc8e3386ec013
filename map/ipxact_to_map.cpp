// SPDX-License-Identifier: Apache-2.0
// The one place where the importer's records become a register map
// document: every key of the format that the importer writes is here.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>

#include "map/ipxact_model.hpp"

namespace chip::map::ipxact {
namespace {

using nlohmann::json;

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

void put_description(json &object, const std::string &description) {
  if (!description.empty()) object["description"] = description;
}

json array_json(const Array &array) {
  return json{{"count", array.count}, {"stride", array.stride}};
}

json field_json(const Field &field, const std::string &pointer, SourceLines &lines) {
  json out{{"name", field.name}, {"lsb", field.lsb}, {"bits", field.bits}, {"access", field.access}};
  if (field.reset) out["reset"] = hex(*field.reset);
  put_description(out, field.description);
  if (field.array) out["array"] = array_json(*field.array);
  if (!field.enums.empty()) {
    json enums = json::array();
    for (const Enum &item : field.enums) {
      lines[pointer + "/enums/" + std::to_string(enums.size())] = item.line;
      json value{{"name", item.name}, {"value", hex(item.value)}};
      put_description(value, item.description);
      enums.push_back(std::move(value));
    }
    out["enums"] = std::move(enums);
  }
  lines[pointer] = field.line;
  return out;
}

json register_json(const Register &reg, const std::string &pointer, SourceLines &lines) {
  json out{{"name", reg.name}, {"offset", hex(reg.offset)}, {"bytes", reg.bytes},
           {"access", reg.access}};
  put_description(out, reg.description);
  if (reg.array) out["array"] = array_json(*reg.array);
  json fields = json::array();
  for (const Field &field : reg.fields) {
    fields.push_back(field_json(field, pointer + "/fields/" + std::to_string(fields.size()), lines));
  }
  out["fields"] = std::move(fields);
  lines[pointer] = reg.line;
  return out;
}

json registers_json(const Block &block, const std::string &pointer, SourceLines &lines) {
  json registers = json::array();
  for (const Register &reg : block.registers) {
    registers.push_back(
        register_json(reg, pointer + "/registers/" + std::to_string(registers.size()), lines));
  }
  return registers;
}

// The layout of a block's registers: everything but the descriptions.
json layout(json value) {
  if (value.is_object()) {
    value.erase("description");
    for (auto &member : value.items()) member.value() = layout(member.value());
  } else if (value.is_array()) {
    for (auto &item : value) item = layout(item);
  }
  return value;
}

}  // namespace

void to_map(const Component &component, const std::string &file, json &doc, SourceLines &lines,
            Diagnostics &findings) {
  json blocks = json::array();
  json instances = json::array();
  // Block type index by typeIdentifier, and by layout for blocks without one.
  std::map<std::string, size_t> by_type;
  std::map<std::string, size_t> by_layout;
  std::vector<std::string> type_layouts;
  std::vector<const Block *> type_first;
  bool failed = false;

  for (const Block &block : component.blocks) {
    const std::string pointer = "/blocks/" + std::to_string(blocks.size());
    SourceLines block_lines;
    json registers = registers_json(block, pointer, block_lines);
    const std::string key = layout(registers).dump();
    size_t type = blocks.size();
    if (!block.type_identifier.empty()) {
      const auto found = by_type.find(block.type_identifier);
      if (found != by_type.end()) {
        type = found->second;
        if (type_layouts[type] != key) {
          findings.push_back({Severity::error, file, block.line, "address block " + block.name,
                              "typeIdentifier " + block.type_identifier +
                                  " is shared with address block " + type_first[type]->name +
                                  " but the registers differ"});
          failed = true;
        }
      }
    } else if (const auto found = by_layout.find(key); found != by_layout.end()) {
      type = found->second;
    }
    if (type == blocks.size()) {
      json out{{"name", block.type_identifier.empty() ? block.name : block.type_identifier}};
      put_description(out, block.description);
      out["registers"] = std::move(registers);
      blocks.push_back(std::move(out));
      lines.insert(block_lines.begin(), block_lines.end());
      lines[pointer] = block.line;
      type_layouts.push_back(key);
      type_first.push_back(&block);
      (block.type_identifier.empty() ? by_layout[key] : by_type[block.type_identifier]) = type;
    }
    lines["/instances/" + std::to_string(instances.size())] = block.line;
    instances.push_back(json{{"name", block.name},
                             {"block", blocks[type]["name"]},
                             {"base", hex(block.base)},
                             {"bus", component.bus}});
  }
  if (failed) {
    doc = nullptr;
    lines.clear();
    return;
  }
  doc = json{{"chip", component.name}};
  put_description(doc, component.description);
  doc["buses"] = json::array({component.bus});
  doc["blocks"] = std::move(blocks);
  doc["instances"] = std::move(instances);
  lines[""] = component.line;
  lines["/blocks"] = component.line;
  lines["/instances"] = component.line;
}

}  // namespace chip::map::ipxact
