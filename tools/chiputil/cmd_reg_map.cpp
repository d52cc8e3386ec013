// SPDX-License-Identifier: Apache-2.0
// chiputil reg with --map: registers by the names of a register map. The
// map becomes a register table in memory, registered for the tool's device
// number on the bus given; every access goes through the library's access
// calls that honour the access kinds (chip_util/access.h).
#include <chip_util/access.h>
#include <chip_util/bus.h>
#include <chip_util/map.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bus_spec.hpp"
#include "cli.hpp"
#include "library_messages.hpp"
#include "loader.hpp"
#include "reg_access.hpp"
#include "report.hpp"
#include "table_builder.hpp"
#include "text.hpp"

namespace chiputil {
namespace {

const char *bus_kind_name(BusKind kind) {
  switch (kind) {
    case BusKind::mmio:
      return "mmio";
    case BusKind::mdio:
      return "mdio";
    case BusKind::i2c:
      return "i2c";
    case BusKind::sim:
      break;
  }
  return "sim";
}

// 0x and the value, padded to the digits of `bits` (at most 32).
std::string hex(uint32_t value, uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", static_cast<int>((bits > 32 ? 32 : bits) / 4),
                value);
  return text;
}

// The map's table, registered for the tool's device on the bus given.
class Session {
 public:
  Session(std::unique_ptr<chip::map::BuiltTable> built, BusKind kind)
      : built_(std::move(built)) {
    const auto &buses = built_->plan().buses;
    ops_.resize(buses.size(), hdk_reg_ops{});
    for (size_t i = 0; i < buses.size(); ++i) {
      // The simulated chip serves every bus; a real bus serves the map's bus
      // of the same name, or the only one.
      if (kind == BusKind::sim || buses.size() == 1 || buses[i] == bus_kind_name(kind)) {
        ops_[i] = *ops_for(kind);
      }
    }
    built_->table()->ops_table = ops_.data();
  }
  ~Session() { g_hdk_chip_reg[kToolDev] = nullptr; }

  bool register_table() { return hdk_register_reg(kToolDev, built_->table()) == 0; }
  const chip_map_names *names() const { return built_->names(); }

  // The bus of the module of `reg_id`, and whether --bus reaches it.
  const std::string &bus_of(uint32_t reg_id) const {
    const hdk_reg_module &module = built_->table()->modules[HDK_REG_ID_MODULE(reg_id)];
    return built_->plan().buses[module.ops_index];
  }
  bool reaches(uint32_t reg_id) const {
    const hdk_reg_module &module = built_->table()->modules[HDK_REG_ID_MODULE(reg_id)];
    return ops_[module.ops_index].read32 != nullptr;
  }

 private:
  std::unique_ptr<chip::map::BuiltTable> built_;
  std::vector<hdk_reg_ops> ops_;
};

const char *find_problem(int32_t code) {
  switch (code) {
    case CHIP_MAP_NO_INSTANCE:
      return "no instance of that name";
    case CHIP_MAP_NO_REGISTER:
      return "the instance has no such register";
    case CHIP_MAP_NO_FIELD:
      return "the register has no such field";
    case CHIP_MAP_BAD_ELEMENT:
      return "an array needs [n] within its count, and only an array takes one";
    case CHIP_MAP_INCONSISTENT:
      return "the map's names and table disagree";
    default:
      return "expected INSTANCE.REGISTER[.FIELD], with [n] on arrays";
  }
}

// One decoded field of a register read: its name (with [n] on arrays),
// value and enum name.
struct FieldValue {
  std::string name;
  uint32_t value;
  const char *enum_name;
};

const char *enum_name_of(const chip_map_record &names, uint64_t value) {
  for (uint32_t i = 0; i < names.enum_num; ++i) {
    if (names.enums[i].value == value) {
      return names.enums[i].name;
    }
  }
  return nullptr;
}

uint32_t low_bits(uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u; }

struct Command {
  std::string action;
  std::string command;
  const ParsedOptions *options;
  Session *session;
};

// A register read whole, with its fields decoded from the value read.
struct RegisterRead {
  std::string name;
  chip_map_target target{};
  std::string skipped;  // why it was not read
  std::string failure;  // why the read failed
  uint32_t value = 0;
  std::vector<FieldValue> fields;
};

std::string read_failure(int32_t status, const LibraryMessages &messages) {
  return describe_failure(status, messages.last_or(""));
}

void decode_fields(const Command &c, RegisterRead &read) {
  const chip_map_target &whole = read.target;
  const uint32_t whole_index = HDK_REG_ID_INDEX(whole.reg_id);
  const hdk_reg_inst &inst =
      c.session->names()->table->modules[HDK_REG_ID_MODULE(whole.reg_id)].insts[whole.inst];
  for (uint32_t i = 0; i < whole.module->record_num; ++i) {
    const chip_map_record &record = whole.module->records[i];
    if (record.field == nullptr || record.whole != whole_index) {
      continue;
    }
    // A field array is a bit-indexed record: one name per element.
    if ((inst.regs[i].loc & HDK_REG_BIT_INDEXED) == 0) {
      // A plain field lies in the register it belongs to, at the bits its
      // record packs: no lookup by name, which would cost a dump of a large
      // map more than its reads.
      const uint32_t start = (inst.regs[i].field >> 18) & 0x3FFFu;
      const uint32_t bits = (inst.regs[i].field >> 4) & 0x3FFFu;
      if (bits != 0 && start + bits <= whole.reg_bytes * 8) {
        const uint32_t value = (read.value >> start) & low_bits(bits);
        read.fields.push_back({record.field, value, enum_name_of(record, value)});
      }
      continue;
    }
    // A field array (never inside a register array) is named after the
    // register, and only its elements that land in this register belong to
    // this line.
    const std::string prefix = std::string(whole.instance->name) + "." + whole.names->reg;
    const uint32_t count = inst.regs[i].shape & 0x3FFFFFu;
    for (uint32_t e = 0; e < count; ++e) {
      const std::string name = std::string(record.field) + "[" + std::to_string(e) + "]";
      chip_map_target field{};
      if (chip_map_find(c.session->names(), (prefix + "." + name).c_str(), &field) !=
              CHIP_MAP_FOUND ||
          field.whole_elem != whole.elem) {
        continue;
      }
      if (field.addr != whole.addr) {
        continue;  // the map's lookups disagree with its table: nothing to decode from
      }
      const uint32_t value = (read.value >> field.start_bit) & low_bits(field.field_bits);
      read.fields.push_back({name, value, enum_name_of(record, value)});
    }
  }
}

RegisterRead read_register(const Command &c, const std::string &name,
                           const chip_map_target &target) {
  RegisterRead read;
  read.name = name;
  read.target = target;
  switch (chip_access_read_effect(&target)) {
    case CHIP_ACCESS_READ_WRITE_ONLY:
      read.skipped = "write-only";
      return read;
    case CHIP_ACCESS_READ_CLEARS:
      if (c.action == "dump") {
        read.skipped = "read clears it";
        return read;
      }
      break;
    default:
      break;
  }
  LibraryMessages messages;
  const int32_t status = chip_access_read(kToolDev, &target, &read.value);
  if (status != 0) {
    read.failure = read_failure(status, messages);
    return read;
  }
  decode_fields(c, read);
  return read;
}

void print_register(const RegisterRead &read, bool json, bool first) {
  const uint32_t bits = read.target.reg_bytes * 8;
  if (json) {
    std::printf("%s{\"name\": %s, \"address\": %u, \"width\": %u", first ? "" : ", ",
                json_string(read.name).c_str(), read.target.addr, bits);
    if (!read.skipped.empty()) {
      std::printf(", \"skipped\": %s}", json_string(read.skipped).c_str());
      return;
    }
    if (!read.failure.empty()) {
      std::printf(", \"error\": %s}", json_string(read.failure).c_str());
      return;
    }
    std::printf(", \"value\": %u, \"fields\": {", read.value);
    for (size_t i = 0; i < read.fields.size(); ++i) {
      std::printf("%s%s: %u", i == 0 ? "" : ", ", json_string(read.fields[i].name).c_str(),
                  read.fields[i].value);
    }
    std::printf("}}");
    return;
  }
  const std::string where = read.name + " @" + hex(read.target.addr, 0);
  if (!read.skipped.empty()) {
    std::printf("%-32s not read (%s)\n", where.c_str(), read.skipped.c_str());
    return;
  }
  if (!read.failure.empty()) {
    std::printf("%-32s %s (%s)\n", where.c_str(), std::string(bits / 4, 'X').c_str(),
                read.failure.c_str());
    return;
  }
  std::printf("%-32s %s\n", where.c_str(), hex(read.value, bits).c_str());
  for (const FieldValue &field : read.fields) {
    std::printf("  %-30s %s%s%s\n", field.name.c_str(), hex(field.value, 0).c_str(),
                field.enum_name != nullptr ? " " : "",
                field.enum_name != nullptr ? field.enum_name : "");
  }
}

// Finds NAME on a bus that --bus reaches, or says why not (one line).
std::optional<chip_map_target> find(const Command &c, const std::string &name, int &status) {
  chip_map_target target{};
  const int32_t code = chip_map_find(c.session->names(), name.c_str(), &target);
  if (code != CHIP_MAP_FOUND) {
    status = refused(c.command, "'" + name + "': " + find_problem(code));
    return std::nullopt;
  }
  if (!c.session->reaches(target.reg_id)) {
    status = refused(c.command, "'" + name + "' is on bus " + c.session->bus_of(target.reg_id) +
                                    ", not on the one given with --bus");
    return std::nullopt;
  }
  return target;
}

// A value as typed: a number, or the name of one of the field's enums.
std::optional<uint32_t> value_of(const chip_map_target &target, const std::string &text) {
  for (uint32_t i = 0; i < target.names->enum_num; ++i) {
    if (text == target.names->enums[i].name) {
      return static_cast<uint32_t>(target.names->enums[i].value);
    }
  }
  return parse_number(text, 0xFFFFFFFFu);
}

int run_read(const Command &c, const std::string &name) {
  int status = kExitOk;
  const auto target = find(c, name, status);
  if (!target) {
    return status;
  }
  const bool json = c.options->has("json");
  if (target->names->field == nullptr) {
    const RegisterRead read = read_register(c, name, *target);
    if (!read.skipped.empty() || !read.failure.empty()) {
      return refused(c.command, name + ": " + (read.skipped.empty() ? read.failure
                                                                    : "not read (" + read.skipped + ")"));
    }
    print_register(read, json, true);
    if (json) std::printf("\n");
    return kExitOk;
  }
  LibraryMessages messages;
  uint32_t value = 0;
  const int32_t result = chip_access_read(kToolDev, &*target, &value);
  if (result != 0) {
    return refused(c.command, read_failure(result, messages));
  }
  const char *enum_name = enum_name_of(*target->names, value);
  if (json) {
    std::printf("{\"name\": %s, \"address\": %u, \"width\": %u, \"value\": %u}\n",
                json_string(name).c_str(), target->addr, target->field_bits, value);
  } else {
    std::printf("%s = %s%s%s\n", name.c_str(), hex(value, 0).c_str(), enum_name ? " " : "",
                enum_name ? enum_name : "");
  }
  return kExitOk;
}

int run_write(const Command &c, const std::string &name, const std::string &text) {
  int status = kExitOk;
  const auto target = find(c, name, status);
  if (!target) {
    return status;
  }
  const auto value = value_of(*target, text);
  if (!value) {
    return usage_error(c.command, "VALUE '" + text + "' is neither a number nor one of the field's enums");
  }
  LibraryMessages messages;
  const int32_t result = chip_access_write(kToolDev, &*target, *value);
  return result == 0 ? kExitOk : refused(c.command, read_failure(result, messages));
}

int run_watch(const Command &c, const std::string &name) {
  int status = kExitOk;
  const auto target = find(c, name, status);
  if (!target) {
    return status;
  }
  const ParsedOptions &options = *c.options;
  if (!options.has("until")) {
    return usage_error(c.command, "missing --until");
  }
  const auto until = value_of(*target, options.values.at("until"));
  uint32_t timeout_ms = 1000;
  uint32_t interval_ms = 10;
  const auto number = [&](const char *option, uint32_t &out) {
    if (!options.has(option)) return true;
    const auto parsed = parse_number(options.values.at(option), 86400000u);
    if (parsed) out = *parsed;
    return parsed.has_value();
  };
  if (!until || !number("timeout", timeout_ms) || !number("interval", interval_ms)) {
    return usage_error(c.command, "--until takes a number or an enum name, --timeout and "
                                  "--interval numbers of milliseconds");
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  uint32_t value = 0;
  for (;;) {
    LibraryMessages messages;
    const int32_t result = chip_access_read(kToolDev, &*target, &value);
    if (result != 0) {
      return refused(c.command, read_failure(result, messages));
    }
    if (value == *until || std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
  }
  std::printf("%s = %s\n", name.c_str(), hex(value, 0).c_str());
  if (value == *until) {
    return kExitOk;
  }
  return refused(c.command, "timeout after " + std::to_string(timeout_ms) + " ms: " + name +
                                " is " + hex(value, 0) + ", waiting for " + hex(*until, 0));
}

// Every register of one instance, or of every instance: array registers
// element by element.
int run_dump(const Command &c, const std::string &only) {
  const chip_map_names &names = *c.session->names();
  const bool json = c.options->has("json");
  bool found = only.empty();
  bool first = true;
  int status = kExitOk;
  if (json) std::printf("[");
  for (uint32_t i = 0; i < names.instance_num; ++i) {
    const chip_map_instance &instance = names.instances[i];
    if (!only.empty() && only != instance.name) {
      continue;
    }
    found = true;
    const chip_map_module &module = names.modules[instance.module];
    const hdk_reg_inst &inst = names.table->modules[instance.module].insts[instance.inst];
    if (!c.session->reaches(HDK_REG_ID(instance.module, 0))) {
      continue;
    }
    for (uint32_t r = 0; r < module.record_num; ++r) {
      if (module.records[r].field != nullptr) {
        continue;
      }
      const uint32_t count = inst.regs[r].shape & 0x3FFFFFu;
      for (uint32_t e = 0; e < count; ++e) {
        std::string name = std::string(instance.name) + "." + module.records[r].reg;
        if (count > 1) name += "[" + std::to_string(e) + "]";
        chip_map_target target{};
        if (chip_map_target_of(&names, instance.inst, HDK_REG_ID(instance.module, r), e,
                               &target) != CHIP_MAP_FOUND) {
          continue;
        }
        const RegisterRead read = read_register(c, name, target);
        if (!read.failure.empty()) status = kExitRefused;
        print_register(read, json, first);
        first = false;
      }
    }
  }
  if (json) std::printf("]\n");
  if (!found) {
    return refused(c.command, "no instance named '" + only + "'");
  }
  return status;
}

}  // namespace

int run_reg_by_name(const std::string &action, const std::string &command,
                    const ParsedOptions &options, const BusSpec &bus) {
  const chip::map::LoadedMap loaded = chip::map::load_map(options.values.at("map"));
  if (!loaded.ok()) {
    for (const chip::map::Diagnostic &finding : loaded.findings) {
      if (finding.severity == chip::map::Severity::error) {
        return refused(command, chip::map::format_finding(finding));
      }
    }
    return refused(command, "the map could not be read");
  }
  Session session(chip::map::build_table(*loaded.map), bus.kind);
  if (!session.register_table()) {
    return refused(command, "the map's table could not be registered");
  }
  const Command c{action, command, &options, &session};
  const std::vector<std::string> &operands = options.operands;
  if (action == "dump") {
    if (operands.size() > 1) {
      return usage_error(command, "expected at most one INSTANCE");
    }
    return run_dump(c, operands.empty() ? "" : operands[0]);
  }
  const size_t wanted = action == "write" ? 2 : 1;
  if (operands.size() != wanted) {
    return usage_error(command, action == "write" ? "expected NAME and VALUE" : "expected one NAME");
  }
  if (action == "write") {
    return run_write(c, operands[0], operands[1]);
  }
  return action == "read" ? run_read(c, operands[0]) : run_watch(c, operands[0]);
}

}  // namespace chiputil
