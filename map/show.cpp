// SPDX-License-Identifier: Apache-2.0
#include "show.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace chip::map {
namespace {

struct Row {
  uint64_t address;
  const Instance *instance;
  const Register *reg;
};

// Registers of every instance whose block is known, by address, then in
// map order.
std::vector<Row> rows_of(const Map &map) {
  std::vector<Row> rows;
  for (const Instance &instance : map.instances) {
    for (const Block &block : map.blocks) {
      if (block.name != instance.block) {
        continue;
      }
      for (const Register &reg : block.registers) {
        rows.push_back({instance.base + reg.offset, &instance, &reg});
      }
      break;
    }
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row &a, const Row &b) { return a.address < b.address; });
  return rows;
}

std::vector<const Field *> fields_by_lsb(const Register &reg) {
  std::vector<const Field *> fields;
  for (const Field &field : reg.fields) {
    fields.push_back(&field);
  }
  std::stable_sort(fields.begin(), fields.end(),
                   [](const Field *a, const Field *b) { return a->lsb < b->lsb; });
  return fields;
}

std::string hex8(uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
  return text;
}

std::string array_note(const std::optional<ArraySpec> &array, const char *unit) {
  if (!array) {
    return "";
  }
  return std::to_string(array->count) + " elements, " + unit + " " + std::to_string(array->stride);
}

}  // namespace

std::string show_text(const Map &map) {
  struct Line {
    std::string address, name, bits, access, reset, note;
  };
  std::vector<Line> lines{{"ADDRESS", "NAME", "BITS", "ACCESS", "RESET", ""}};
  for (const Row &row : rows_of(map)) {
    const Register &reg = *row.reg;
    const std::string name = row.instance->name + "." + reg.name + (reg.array ? "[]" : "");
    lines.push_back({hex8(row.address), name, std::to_string(8 * reg.bytes) + "-bit",
                     access_name(reg.access), register_reset(reg).hex(),
                     array_note(reg.array, "stride")});
    for (const Field *field : fields_by_lsb(reg)) {
      const uint64_t high = field->lsb + field->bits - (field->bits == 0 ? 0 : 1);
      lines.push_back({"", name + "." + field->name + (field->array ? "[]" : ""),
                       field->bits == 1 ? std::to_string(field->lsb)
                                        : std::to_string(high) + ":" + std::to_string(field->lsb),
                       access_name(field_access(reg, *field)), field_reset(reg, *field).hex(),
                       array_note(field->array, "bit stride")});
    }
  }
  size_t widths[5] = {0, 0, 0, 0, 0};
  for (const Line &line : lines) {
    const std::string *cells[5] = {&line.address, &line.name, &line.bits, &line.access, &line.reset};
    for (size_t i = 0; i < 5; ++i) {
      widths[i] = std::max(widths[i], cells[i]->size());
    }
  }
  std::string out;
  for (const Line &line : lines) {
    const std::string *cells[6] = {&line.address, &line.name, &line.bits, &line.access, &line.reset, &line.note};
    std::string text;
    for (size_t i = 0; i < 6; ++i) {
      text += *cells[i];
      if (i < 5) {
        text += std::string(widths[i] - cells[i]->size() + 2, ' ');
      }
    }
    while (!text.empty() && text.back() == ' ') {
      text.pop_back();
    }
    out += text + "\n";
  }
  return out;
}

std::string show_json(const Map &map) {
  using json = nlohmann::ordered_json;
  json registers = json::array();
  for (const Row &row : rows_of(map)) {
    const Register &reg = *row.reg;
    json fields = json::array();
    for (const Field *field : fields_by_lsb(reg)) {
      json enums = json::array();
      for (const EnumValue &entry : field->enums) {
        enums.push_back({{"name", entry.name}, {"value", entry.value.hex()}});
      }
      fields.push_back({{"name", field->name},
                        {"lsb", field->lsb},
                        {"bits", field->bits},
                        {"access", access_name(field_access(reg, *field))},
                        {"reset", field_reset(reg, *field).hex()},
                        {"count", field->array ? field->array->count : 1},
                        {"stride", field->array ? field->array->stride : 0},
                        {"enums", enums}});
    }
    registers.push_back({{"name", row.instance->name + "." + reg.name},
                         {"instance", row.instance->name},
                         {"register", reg.name},
                         {"address", row.address},
                         {"bytes", reg.bytes},
                         {"access", access_name(reg.access)},
                         {"reset", register_reset(reg).hex()},
                         {"count", reg.array ? reg.array->count : 1},
                         {"stride", reg.array ? reg.array->stride : 0},
                         {"fields", fields}});
  }
  const json doc = {{"chip", map.chip}, {"registers", registers}};
  return doc.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace chip::map
