// SPDX-License-Identifier: Apache-2.0
// How a map becomes modules, records and C names: the rules that the
// checker (limits, name collisions), the table planner and the generator
// share, so that what is checked is exactly what is generated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model.hpp"

namespace chip::map {

// Limits of the register records.
constexpr uint64_t kMaxOffset = (uint64_t{1} << 30) - 1;
constexpr int64_t kMinStride = -(int64_t{1} << 24);
constexpr int64_t kMaxStride = (int64_t{1} << 24) - 1;
constexpr uint64_t kMaxElements = (uint64_t{1} << 22) - 1;
constexpr uint64_t kMaxRegBytes = 1023;
constexpr uint64_t kMaxFieldBits = (uint64_t{1} << 14) - 1;
constexpr uint64_t kMaxStartBit = (uint64_t{1} << 14) - 1;
constexpr uint64_t kMaxModules = 1024;
constexpr uint64_t kMaxRecords = uint64_t{1} << 22;

// 2- and 4-byte registers are reached by the 16- and 32-bit field
// functions, whose bit-indexed elements carry into the following registers;
// every other width is worked on as one image.
inline bool bus_width(uint64_t bytes) { return bytes == 2 || bytes == 4; }

// The bus an instance uses: its own, or the map's first.
std::string instance_bus(const Map &map, const Instance &instance);

// One module: a block type on one bus.
struct ModuleOf {
  size_t block;                    // index in map.blocks
  size_t bus;                      // index in map.buses: the module's ops_index
  std::string name;                // the block's name, or "<block>_<bus>" when split
  std::vector<size_t> instances;   // indexes in map.instances, in map order
};

// Modules in order: blocks in map order, and within a block the buses its
// instances use in the order of `buses`. Instances whose block or bus is
// unknown belong to no module.
std::vector<ModuleOf> modules_of(const Map &map);

// Upper case, every character that is not a letter or digit made '_'.
std::string c_identifier(const std::string &name);

// Where a register's records start: element counts and strides as the
// records hold them. A bit-indexed field array of a 2- or 4-byte register
// may run over several registers: the whole-register record then becomes
// an array over them (`span` registers, `bytes` apart).
uint64_t register_span(const Register &reg);

// The generated C names of one map, each with the place that makes it.
struct Identifier {
  std::string name;
  const Place *place;  // in the map the names were made from
};
// `prefix` is the upper-case chip (or --name) identifier.
std::vector<Identifier> generated_identifiers(const Map &map, const std::string &prefix);

}  // namespace chip::map
