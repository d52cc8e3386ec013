// SPDX-License-Identifier: Apache-2.0
// What the IP-XACT importer has read, in the terms of a register map and
// before it is written as one: the reader fills these records, and
// ipxact_to_map.cpp is the one place that knows the map document's keys.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "map/diagnostic.hpp"

namespace chip::map::ipxact {

struct Array {
  uint64_t count = 1;
  int64_t stride = 0;  // address units (registers) or bits (fields)
};

struct Enum {
  std::string name;
  std::string description;
  uint64_t value = 0;
  unsigned line = 0;
};

struct Field {
  std::string name;
  std::string description;
  uint64_t lsb = 0;
  uint64_t bits = 0;
  std::string access;  // a map access kind: rw, ro, wo, rclr, w1c, w1s, w0c
  std::optional<uint64_t> reset;
  std::vector<Enum> enums;
  std::optional<Array> array;
  unsigned line = 0;
};

struct Register {
  std::string name;
  std::string description;
  uint64_t offset = 0;  // from the block's base address, in address units
  uint64_t bytes = 0;
  std::string access;
  std::optional<Array> array;
  std::vector<Field> fields;
  unsigned line = 0;
};

// One address block: an instance, and the registers of its block type.
struct Block {
  std::string name;
  std::string type_identifier;  // empty when the file gives none
  std::string description;
  uint64_t base = 0;
  std::vector<Register> registers;
  unsigned line = 0;
};

struct Component {
  std::string name;
  std::string description;
  std::string bus;  // the memory map's name
  unsigned line = 0;
  std::vector<Block> blocks;
};

// Writes `component` as a map document into `doc`, with the XML line of
// every object in `lines`. Address blocks of one typeIdentifier, or without
// one of the same register layout (descriptions aside), become one block
// type with an instance each. Blocks of one typeIdentifier whose layouts
// differ are an error finding; the document is then left null.
void to_map(const Component &component, const std::string &file, nlohmann::json &doc,
            SourceLines &lines, Diagnostics &findings);

}  // namespace chip::map::ipxact
