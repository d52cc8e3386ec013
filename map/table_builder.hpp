// SPDX-License-Identifier: Apache-2.0
// From a checked map to the register table and its names: first a plan of
// plain values (every record's fields, every name, every C constant), then
// the live C records built from it in memory. The C generator prints the
// same plan, so a table built here and one compiled from generated files
// are the same records; a tool can register the built table on a bus at
// once, without generating or compiling anything.
#pragma once

#include <chip_util/map.h>
#include <chip_util/register.h>

#include <memory>
#include <string>
#include <vector>

#include "model.hpp"

namespace chip::map {

struct EnumPlan {
  std::string name;
  std::string ident;
  Value value;
};

struct RecordPlan {
  // The record, as HDK_REG_INFO takes it.
  uint32_t offset = 0;
  uint32_t bytes = 0;
  uint32_t start_bit = 0;
  uint32_t field_bits = 0;
  uint32_t elem_num = 1;
  int32_t stride = 0;
  bool bit_indexed = false;
  bool whole = false;
  Access access = Access::rw;
  // Its names.
  std::string reg;
  std::string field;  // empty for the whole-register record
  std::string description;
  std::string ident;  // the reg_id constant
  Value reset;
  uint32_t whole_index = 0;
  uint32_t rmw_zero = 0;
  uint32_t rmw_one = 0;
  std::vector<EnumPlan> enums;
};

struct InstancePlan {
  std::string name;
  std::string ident;
  std::string bus;
  uint32_t base = 0;
  uint32_t module = 0;
  uint32_t inst = 0;  // index within the module
};

struct ModulePlan {
  std::string name;
  std::string block;
  std::string bus;
  uint32_t ops_index = 0;
  std::vector<RecordPlan> records;
  std::vector<uint32_t> instances;  // indexes in TablePlan::instances, in module order
};

struct TablePlan {
  std::string name;    // lower-case C name: files <name>_map.h/.c, <name>_reg_table
  std::string prefix;  // upper-case prefix of every constant
  std::string source;  // the map file, for the generated files' first line
  std::vector<std::string> buses;
  std::vector<std::string> bus_idents;
  std::vector<ModulePlan> modules;
  std::vector<InstancePlan> instances;  // in map order
};

// The plan of a map that check_map passed without errors. `name` replaces
// the chip's name in every generated name; empty keeps it.
TablePlan plan_table(const Map &map, const std::string &name = "");

// The packed record of a plan (HDK_REG_INFO).
hdk_reg_info pack_record(const RecordPlan &record);

// The field buffer of a value `bits` wide (most significant word first),
// as chip_map_record::reset_words holds it.
std::vector<uint32_t> field_buffer(const Value &value, uint32_t bits);

// A table and its names, live in memory. Neither copied nor moved: the
// records point into each other.
class BuiltTable {
 public:
  explicit BuiltTable(TablePlan plan);
  BuiltTable(const BuiltTable &) = delete;
  BuiltTable &operator=(const BuiltTable &) = delete;

  // ops_table is null: set it (one hdk_reg_ops per bus, in plan().buses
  // order) before hdk_register_reg.
  hdk_chip_reg_table *table() { return &table_; }
  const chip_map_names *names() const { return &names_; }
  const TablePlan &plan() const { return plan_; }

 private:
  struct ModuleStore {
    std::vector<hdk_reg_info> regs;
    std::vector<hdk_reg_inst> insts;
    std::vector<chip_map_record> records;
    std::vector<std::vector<chip_map_enum>> enums;
    std::vector<std::vector<uint32_t>> reset_words;
  };

  const TablePlan plan_;
  std::vector<ModuleStore> stores_;
  std::vector<hdk_reg_module> modules_;
  std::vector<chip_map_module> module_names_;
  std::vector<chip_map_instance> instances_;
  std::vector<const char *> buses_;
  hdk_chip_reg_table table_{};
  chip_map_names names_{};
};

std::unique_ptr<BuiltTable> build_table(const Map &map, const std::string &name = "");

}  // namespace chip::map
