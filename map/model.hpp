// SPDX-License-Identifier: Apache-2.0
// A register map as plain records: what the JSON reader (and the IP-XACT
// importer) produce through the model builder, and what the checker, the
// table planner and `chiputil map show` read. Numbers are kept as read,
// wider than any record field, so that the checker can say which limit a
// value breaks instead of the value being cut on the way in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chip::map {

// Access kinds; the value is the access_type stored in every record.
enum class Access : uint32_t { rw = 0, ro = 1, rclr = 2, w1c = 3, w1s = 4, w0c = 5, wo = 7 };

std::optional<Access> access_from_name(std::string_view name);
const char *access_name(Access access);

// An unsigned number of any width: 32-bit words, least significant first,
// no leading zero words (zero is no words at all).
struct Value {
  std::vector<uint32_t> words;

  static Value of(uint64_t number);
  // Number of significant bits (0 for zero).
  uint64_t bit_length() const;
  bool fits(uint64_t bits) const { return bit_length() <= bits; }
  uint64_t low64() const;
  bool bit(uint64_t index) const;
  // Bits [lsb, lsb + bits) of this value, moved down to bit 0.
  Value slice(uint64_t lsb, uint64_t bits) const;
  // This value with bits [lsb, lsb + bits) replaced by `part`.
  Value with_slice(uint64_t lsb, uint64_t bits, const Value &part) const;
  // "0x..." in lower case.
  std::string hex() const;
  bool operator==(const Value &) const = default;
};

// Where a part of the map came from: the line of its source (0 when
// unknown) and its path ("block MAC / register CTRL / field SPEED").
struct Place {
  unsigned line = 0;
  std::string path;
};

struct ArraySpec {
  uint64_t count = 1;
  int64_t stride = 0;  // address units for registers, bits for fields
  Place place;
};

struct EnumValue {
  std::string name;
  std::string description;
  Value value;
  Place place;
};

struct Field {
  std::string name;
  std::string description;
  uint64_t lsb = 0;
  uint64_t bits = 0;
  std::optional<Access> access;  // absent: the register's
  std::optional<Value> reset;    // absent: the register's reset bits
  std::vector<EnumValue> enums;
  std::optional<ArraySpec> array;
  Place place;
};

struct Register {
  std::string name;
  std::string description;
  uint64_t offset = 0;
  uint64_t bytes = 0;
  Access access = Access::rw;
  std::optional<Value> reset;
  std::optional<ArraySpec> array;
  std::vector<Field> fields;
  Place place;
};

struct Block {
  std::string name;
  std::string description;
  std::vector<Register> registers;
  Place place;
};

struct Instance {
  std::string name;
  std::string block;
  std::string bus;
  uint64_t base = 0;
  Place place;
};

struct Bus {
  std::string name;
  Place place;
};

struct Map {
  std::string file;  // as the user named it
  std::string chip;
  std::string description;
  std::vector<Bus> buses;
  std::vector<Block> blocks;
  std::vector<Instance> instances;
  Place place;
};

// A field's access kind: its own, or its register's.
inline Access field_access(const Register &reg, const Field &field) {
  return field.access.value_or(reg.access);
}

// A field's reset value: its own, or its bits of the register's reset.
Value field_reset(const Register &reg, const Field &field);

// The register's reset value with every field's reset put in its bits
// (element 0 of a field array; further elements take the same value).
Value register_reset(const Register &reg);

}  // namespace chip::map
