// SPDX-License-Identifier: Apache-2.0
#include "checker.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <unordered_map>

#include "layout.hpp"

namespace chip::map {
namespace {

// Overlap sweeps expand arrays element by element up to this many pieces
// per register (bits) or per block (bytes); past it the sweep is skipped
// with a warning instead of using unbounded memory.
constexpr size_t kMaxSweepPieces = size_t{1} << 16;

std::string hex(uint64_t value) { return Value::of(value).hex(); }

std::string bit_range(int64_t low, uint64_t bits) {
  const int64_t high = low + static_cast<int64_t>(bits) - 1;
  return bits == 1 ? "bit " + std::to_string(low)
                   : "bits " + std::to_string(low) + "-" + std::to_string(high);
}

std::string plural(uint64_t count, const char *unit) {
  return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

struct Piece {
  int64_t start;
  int64_t end;  // one past
  size_t owner;
};

class Checker {
 public:
  Checker(const Map &map, Diagnostics &findings, const std::string &name)
      : map_(map),
        findings_(findings),
        name_(name.empty() ? map.chip : name),
        // Parts the reader could not read are missing from the model: do not
        // also warn that they are missing.
        complete_(!has_errors(findings)) {}

  void run() {
    check_top();
    check_names();
    for (const Block &block : map_.blocks) {
      check_block(block);
    }
    check_instances();
    check_modules();
    check_identifiers();
  }

 private:
  void error(const Place &place, const std::string &message) {
    findings_.push_back({Severity::error, map_.file, place.line, place.path, message});
  }
  void warning(const Place &place, const std::string &message) {
    findings_.push_back({Severity::warning, map_.file, place.line, place.path, message});
  }

  void check_top() {
    if (!name_.empty() && !((name_[0] >= 'a' && name_[0] <= 'z') || (name_[0] >= 'A' && name_[0] <= 'Z'))) {
      error(map_.place, "chip name '" + name_ +
                            "' must start with a letter: it begins every generated C name");
    }
    if (map_.buses.empty()) {
      error(map_.place, "at least one bus is needed ('buses')");
    }
  }

  // Names may hold what a lookup by name can tell apart.
  void check_name(const std::string &name, const Place &place, const char *kind) {
    if (name.empty()) {
      error(place, std::string(kind) + " name is empty");
      return;
    }
    for (const char c : name) {
      if (c <= ' ' || c > '~' || c == '.' || c == '[' || c == ']') {
        error(place, std::string(kind) + " name '" + name +
                         "' may hold only printable ASCII characters other than blanks, '.', "
                         "'[' and ']' (names of accesses use them)");
        return;
      }
    }
  }

  template <typename Item>
  void unique_names(const std::vector<Item> &items, const char *kind) {
    std::map<std::string, unsigned> seen;
    for (const Item &item : items) {
      check_name(item.name, item.place, kind);
      const auto [at, fresh] = seen.emplace(item.name, item.place.line);
      if (!fresh && !item.name.empty()) {
        error(item.place, std::string("duplicate ") + kind + " name '" + item.name +
                              "' (also at line " + std::to_string(at->second) + ")");
      }
    }
  }

  void check_names() {
    unique_names(map_.buses, "bus");
    unique_names(map_.blocks, "block");
    unique_names(map_.instances, "instance");
    for (const Block &block : map_.blocks) {
      unique_names(block.registers, "register");
      for (const Register &reg : block.registers) {
        unique_names(reg.fields, "field");
        for (const Field &field : reg.fields) {
          unique_names(field.enums, "enum");
        }
      }
    }
  }

  // Count and stride of an array against the record limits; false when
  // the array cannot be used further.
  bool check_array(const ArraySpec &array, const char *stride_unit) {
    bool ok = true;
    if (array.count == 0) {
      error(array.place, "array count must be at least 1");
      ok = false;
    } else if (array.count > kMaxElements) {
      error(array.place, "array count " + std::to_string(array.count) +
                             " does not fit a record's 22-bit elem_num (at most 4194303)");
      ok = false;
    }
    if (array.stride < kMinStride || array.stride > kMaxStride) {
      error(array.place, std::string("array stride ") + std::to_string(array.stride) + " " +
                             stride_unit +
                             " does not fit a record's 25-bit signed stride (-16777216 to 16777215)");
      ok = false;
    }
    return ok;
  }

  void check_block(const Block &block) {
    if (block.registers.empty() && complete_) {
      warning(block.place, "the block has no registers");
    }
    uint64_t records = 0;
    for (const Register &reg : block.registers) {
      records += 1 + reg.fields.size();
      check_register(reg);
    }
    if (records > kMaxRecords) {
      error(block.place, plural(records, "record") +
                             " (one per register and per field) do not fit the 22-bit register "
                             "index of a reg_id (at most 4194304)");
    }
    check_register_overlaps(block);
  }

  void check_register(const Register &reg) {
    const bool width_ok = reg.bytes >= 1 && reg.bytes <= kMaxRegBytes;
    if (!width_ok) {
      error(reg.place, "width of " + plural(reg.bytes, "byte") +
                           " does not fit a record's 10-bit reg_bytes (1 to 1023)");
    }
    if (reg.offset > kMaxOffset) {
      error(reg.place, "offset " + hex(reg.offset) +
                           " does not fit a record's 30-bit offset (at most 0x3fffffff)");
    }
    if (reg.array && check_array(*reg.array, "address units") && reg.array->count > 1 &&
        static_cast<uint64_t>(std::abs(reg.array->stride)) < reg.bytes) {
      error(reg.array->place, "array elements overlap: the stride " +
                                  std::to_string(reg.array->stride) + " is smaller than the register's " +
                                  plural(reg.bytes, "byte"));
    }
    if (!width_ok) {
      return;
    }
    const uint64_t width = 8 * reg.bytes;
    if (reg.reset && !reg.reset->fits(width)) {
      error(reg.place, "reset value " + reg.reset->hex() + " does not fit the " +
                           std::to_string(width) + "-bit register");
    }
    for (const Field &field : reg.fields) {
      check_field(reg, field);
    }
    check_field_overlaps(reg);
    check_access_mix(reg);
  }

  void check_field(const Register &reg, const Field &field) {
    const uint64_t width = 8 * reg.bytes;
    bool ok = true;
    if (field.bits == 0 || field.bits > kMaxFieldBits) {
      error(field.place, "field width of " + plural(field.bits, "bit") +
                             " does not fit a record's 14-bit field_bits (1 to 16383)");
      ok = false;
    }
    if (field.lsb > kMaxStartBit) {
      error(field.place, "lsb " + std::to_string(field.lsb) +
                             " does not fit a record's 14-bit start_bit (at most 16383)");
      ok = false;
    }
    if (ok && field.reset && !field.reset->fits(field.bits)) {
      error(field.place, "reset value " + field.reset->hex() + " does not fit the " +
                             std::to_string(field.bits) + "-bit field");
    }
    for (const EnumValue &entry : field.enums) {
      if (ok && !entry.value.fits(field.bits)) {
        error(entry.place, "value " + entry.value.hex() + " does not fit the " +
                               std::to_string(field.bits) + "-bit field");
      }
    }
    if (!ok) {
      return;
    }
    if (!field.array) {
      if (field.lsb + field.bits > width) {
        error(field.place, bit_range(static_cast<int64_t>(field.lsb), field.bits) +
                               " lie outside the " + std::to_string(width) + "-bit register");
      }
      return;
    }
    if (reg.array) {
      error(field.array->place,
            "a field array inside a register array cannot be expressed in one record");
      return;
    }
    if (!check_array(*field.array, "bits")) {
      return;
    }
    const ArraySpec &array = *field.array;
    if (array.count > 1 && static_cast<uint64_t>(std::abs(array.stride)) < field.bits) {
      error(array.place, "elements overlap: the bit stride " + std::to_string(array.stride) +
                             " is smaller than the field's " + plural(field.bits, "bit"));
      return;
    }
    if (array.count > 1 && bus_width(reg.bytes) && field.bits == width) {
      error(array.place, "an array of fields as wide as the register cannot be expressed (the "
                         "field functions access such a record as a whole register): make it a "
                         "register array");
      return;
    }
    // Positions move monotonically with the element, so the first and the
    // last element bound them; within a 2- or 4-byte register they repeat
    // with a period of at most the register width, so the first `width`
    // elements show every straddle.
    const auto position_of = [&](uint64_t i) {
      return static_cast<int64_t>(field.lsb) + array.stride * static_cast<int64_t>(i);
    };
    const auto element = [&](uint64_t i) {
      return "element " + std::to_string(i) + " (" + bit_range(position_of(i), field.bits) + ")";
    };
    const int64_t last = position_of(array.count - 1);
    if (last < 0) {
      const uint64_t first_below = field.lsb / static_cast<uint64_t>(-array.stride) + 1;
      error(array.place, element(first_below) + " lies below bit 0");
      return;
    }
    if (!bus_width(reg.bytes)) {
      if (static_cast<uint64_t>(std::max<int64_t>(last, static_cast<int64_t>(field.lsb))) + field.bits > width) {
        // Only a growing array can leave the image (a shrinking one starts inside).
        const uint64_t room = width >= field.lsb + field.bits ? width - field.lsb - field.bits : 0;
        const uint64_t first_out = field.lsb + field.bits > width ? 0 : room / static_cast<uint64_t>(array.stride) + 1;
        error(array.place, element(first_out) + " lies outside the " + std::to_string(width) +
                               "-bit register (a register of this width is one image: its "
                               "field arrays cannot continue in the next register)");
      }
      return;
    }
    for (uint64_t i = 0; i < std::min<uint64_t>(array.count, width); ++i) {
      if (static_cast<uint64_t>(position_of(i)) % width + field.bits > width) {
        error(array.place, element(i) + " crosses from one " + std::to_string(width) +
                               "-bit register into the next");
        return;
      }
    }
  }

  // Bits of every element of every field, as absolute positions over the
  // registers a field array runs through.
  void check_field_overlaps(const Register &reg) {
    std::vector<Piece> pieces;
    for (size_t f = 0; f < reg.fields.size(); ++f) {
      const Field &field = reg.fields[f];
      if (field.bits == 0 || field.bits > kMaxFieldBits) {
        continue;
      }
      const bool expand = field.array && !reg.array && field.array->count <= kMaxElements;
      const uint64_t count = expand ? field.array->count : 1;
      if (pieces.size() + count > kMaxSweepPieces) {
        warning(reg.place, "too many field elements to check for overlaps (more than " +
                               std::to_string(kMaxSweepPieces) + "): not checked");
        return;
      }
      for (uint64_t i = 0; i < count; ++i) {
        const int64_t start = static_cast<int64_t>(field.lsb) +
                              (expand ? field.array->stride * static_cast<int64_t>(i) : 0);
        pieces.push_back({start, start + static_cast<int64_t>(field.bits), f});
      }
    }
    sweep(pieces, [&](const Piece &earlier, const Piece &later, int64_t at) {
      error(reg.fields[later.owner].place,
            "overlaps field " + reg.fields[earlier.owner].name + " at " +
                (reg.fields.size() && register_span(reg) > 1
                     ? "bit " + std::to_string(at % static_cast<int64_t>(8 * reg.bytes)) +
                           " of register element " + std::to_string(at / static_cast<int64_t>(8 * reg.bytes))
                     : "bit " + std::to_string(at)));
    });
  }

  // Calls `report` once per pair of owners whose pieces overlap.
  template <typename Report>
  static void sweep(std::vector<Piece> &pieces, Report report) {
    std::sort(pieces.begin(), pieces.end(), [](const Piece &a, const Piece &b) {
      return a.start != b.start ? a.start < b.start : a.owner < b.owner;
    });
    std::set<std::pair<size_t, size_t>> reported;
    std::vector<const Piece *> open;  // pieces still reaching past the current start
    for (const Piece &piece : pieces) {
      std::erase_if(open, [&](const Piece *p) { return p->end <= piece.start; });
      for (const Piece *other : open) {
        if (other->owner == piece.owner) {
          continue;
        }
        const auto pair = std::minmax(other->owner, piece.owner);
        if (reported.insert(pair).second) {
          const Piece &earlier = other->owner < piece.owner ? *other : piece;
          const Piece &later = other->owner < piece.owner ? piece : *other;
          report(earlier, later, piece.start);
        }
      }
      open.push_back(&piece);
    }
  }

  void check_register_overlaps(const Block &block) {
    std::vector<Piece> pieces;
    for (size_t r = 0; r < block.registers.size(); ++r) {
      const Register &reg = block.registers[r];
      if (reg.bytes == 0 || reg.bytes > kMaxRegBytes) {
        continue;
      }
      const bool expand = reg.array && reg.array->count <= kMaxElements;
      const uint64_t count = expand ? reg.array->count : 1;
      if (pieces.size() + count > kMaxSweepPieces) {
        warning(block.place, "too many register elements to check for overlaps (more than " +
                                 std::to_string(kMaxSweepPieces) + "): not checked");
        return;
      }
      const int64_t length = static_cast<int64_t>(reg.bytes * register_span(reg));
      for (uint64_t i = 0; i < count; ++i) {
        const int64_t start = static_cast<int64_t>(reg.offset) +
                              (expand ? reg.array->stride * static_cast<int64_t>(i) : 0);
        pieces.push_back({start, start + length, r});
      }
    }
    sweep(pieces, [&](const Piece &earlier, const Piece &later, int64_t at) {
      error(block.registers[later.owner].place,
            "overlaps register " + block.registers[earlier.owner].name + " at offset " +
                (at < 0 ? "-" + hex(static_cast<uint64_t>(-at)) : hex(static_cast<uint64_t>(at))));
    });
  }

  // Kinds that a plain read-modify-write of the register (read it, change
  // one field, write it back) gets wrong.
  void check_access_mix(const Register &reg) {
    const Field *read_write = nullptr;
    const Field *cleared = nullptr;
    const Field *write_only = nullptr;
    const Field *other = nullptr;
    for (const Field &field : reg.fields) {
      const Access kind = field_access(reg, field);
      if (kind == Access::rw && read_write == nullptr) {
        read_write = &field;
      }
      if ((kind == Access::w1c || kind == Access::rclr) && cleared == nullptr) {
        cleared = &field;
      }
      if (kind == Access::wo) {
        write_only = write_only == nullptr ? &field : write_only;
      } else if (other == nullptr) {
        other = &field;
      }
    }
    if (read_write != nullptr && cleared != nullptr) {
      warning(read_write->place,
              "read-write field " + read_write->name + " shares the register with " +
                  access_name(field_access(reg, *cleared)) + " field " + cleared->name +
                  ": a plain read-modify-write of the register clears it");
    }
    if (write_only != nullptr && other != nullptr) {
      warning(write_only->place, "write-only field " + write_only->name +
                                     " shares the register with field " + other->name +
                                     ": its writes do not read the register and write the "
                                     "other bits as 0");
    }
  }

  const Block *block_named(const std::string &name) const {
    for (const Block &block : map_.blocks) {
      if (block.name == name) {
        return &block;
      }
    }
    return nullptr;
  }

  void check_instances() {
    std::set<std::string> used_blocks;
    for (const Instance &instance : map_.instances) {
      const Block *block = block_named(instance.block);
      if (block == nullptr) {
        error(instance.place, "unknown block '" + instance.block + "'");
      } else {
        used_blocks.insert(block->name);
      }
      const std::string bus = instance_bus(map_, instance);
      const bool known_bus = std::any_of(map_.buses.begin(), map_.buses.end(),
                                         [&](const Bus &b) { return b.name == bus; });
      if (!known_bus && !map_.buses.empty()) {
        std::string names;
        for (const Bus &b : map_.buses) {
          names += (names.empty() ? "" : ", ") + b.name;
        }
        error(instance.place, "unknown bus '" + bus + "' (the map's buses: " + names + ")");
      }
      if (instance.base > 0xFFFFFFFFu) {
        error(instance.place, "base address " + hex(instance.base) + " does not fit 32 bits");
      } else if (block != nullptr) {
        check_addresses(instance, *block);
      }
    }
    for (const Block &block : map_.blocks) {
      if (!used_blocks.count(block.name) && complete_) {
        warning(block.place, "no instance uses this block: nothing is generated for it");
      }
    }
  }

  // Every element of every register of the instance must have an address
  // its field functions can reach.
  void check_addresses(const Instance &instance, const Block &block) {
    for (const Register &reg : block.registers) {
      if (reg.bytes == 0 || reg.bytes > kMaxRegBytes || reg.offset > kMaxOffset) {
        continue;
      }
      const int64_t steps = reg.array ? reg.array->stride * static_cast<int64_t>(reg.array->count - 1) : 0;
      const int64_t first = static_cast<int64_t>(instance.base + reg.offset);
      const int64_t low = first + std::min<int64_t>(0, steps);
      const int64_t high = first + std::max<int64_t>(0, steps) +
                           static_cast<int64_t>(reg.bytes * register_span(reg)) - 1;
      const int64_t limit = reg.bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
      const std::string where = "register " + reg.name + " of " + instance.name;
      if (low < 0) {
        error(instance.place, where + " reaches below address 0");
      } else if (high > limit && reg.bytes == 2) {
        error(instance.place, where + " reaches address " + hex(static_cast<uint64_t>(high)) +
                                  ": the 16-bit field functions take 16-bit addresses");
      } else if (high > limit) {
        error(instance.place, where + " reaches address " + hex(static_cast<uint64_t>(high)) +
                                  ", past the 32-bit address space");
      }
    }
  }

  void check_modules() {
    const size_t modules = modules_of(map_).size();
    if (modules > kMaxModules) {
      error(map_.place, plural(modules, "module") +
                            " (block types times the buses their instances use) do not fit the "
                            "10-bit module index of a reg_id (at most 1024)");
    }
  }

  void check_identifiers() {
    std::set<std::pair<std::string, std::string>> reported;
    const std::vector<Identifier> ids = generated_identifiers(map_, c_identifier(name_));
    // Hashed: a large map makes tens of thousands of names sharing long
    // prefixes, which an ordered map compares character by character.
    std::unordered_map<std::string_view, const Identifier *> seen;
    seen.reserve(ids.size());
    for (const Identifier &id : ids) {
      const auto [at, fresh] = seen.emplace(id.name, &id);
      const Place &earlier = *at->second->place;
      if (fresh || earlier.path == id.place->path) {
        continue;  // the same part again: a duplicate name, reported as such
      }
      if (reported.insert({earlier.path, id.place->path}).second) {
        const std::string first =
            earlier.path.empty() ? std::string("the generator itself") : earlier.path;
        error(*id.place, "C name " + id.name + " is also made by " + first +
                             (earlier.line != 0 ? " (line " + std::to_string(earlier.line) + ")"
                                                : std::string()));
      }
    }
  }

  const Map &map_;
  Diagnostics &findings_;
  std::string name_;
  bool complete_;
};

}  // namespace

void check_map(const Map &map, Diagnostics &findings, const std::string &name) {
  Checker(map, findings, name).run();
}

bool has_errors(const Diagnostics &findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Diagnostic &d) { return d.severity == Severity::error; });
}

}  // namespace chip::map
