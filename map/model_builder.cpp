// SPDX-License-Identifier: Apache-2.0
#include "model_builder.hpp"

#include <initializer_list>
#include <limits>

namespace chip::map {
namespace {

using json = nlohmann::json;

// Reads numbers written as JSON integers or as strings: decimal, or hex
// after "0x", with "_" allowed between digits, and a leading "-" where a
// signed value is wanted.
struct ParsedNumber {
  bool ok = false;
  bool negative = false;
  Value magnitude;
};

ParsedNumber parse_number_text(std::string_view text) {
  ParsedNumber parsed;
  if (!text.empty() && text[0] == '-') {
    parsed.negative = true;
    text.remove_prefix(1);
  }
  uint32_t base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.front() == '_' || text.back() == '_') {
    return parsed;
  }
  std::vector<uint32_t> words;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    uint32_t digit = 0;
    if (c == '_') {
      if (text[i - 1] == '_') {
        return parsed;
      }
      continue;
    }
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return parsed;
    }
    // words = words * base + digit
    uint64_t carry = digit;
    for (uint32_t &word : words) {
      const uint64_t product = uint64_t{word} * base + carry;
      word = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      words.push_back(static_cast<uint32_t>(carry));
    }
    if (words.size() > 512) {  // far past any register (1023 bytes)
      return parsed;
    }
  }
  parsed.magnitude.words = std::move(words);
  parsed.ok = true;
  return parsed;
}

class Builder {
 public:
  Builder(const MapSource &source, Diagnostics &findings) : source_(source), findings_(findings) {}

  Map build() {
    Map map;
    map.file = source_.file;
    map.place = {line_of(""), ""};
    const json &doc = source_.doc;
    if (!doc.is_object()) {
      error(map.place, "a map is a JSON object");
      return map;
    }
    keys(doc, "", "", {"chip", "description", "buses", "blocks", "instances"});
    map.chip = text(doc, "", "", "chip", true);
    map.description = text(doc, "", "", "description", false);
    if (const json *buses = member(doc, "", "", "buses", json::value_t::array, true)) {
      for (size_t i = 0; i < buses->size(); ++i) {
        const std::string pointer = "/buses/" + std::to_string(i);
        const Place place{line_of(pointer), ""};
        if (!(*buses)[i].is_string()) {
          error(place, "'buses' must be an array of strings");
          continue;
        }
        map.buses.push_back({(*buses)[i].get<std::string>(), {place.line, "bus " + (*buses)[i].get<std::string>()}});
      }
    }
    if (const json *blocks = member(doc, "", "", "blocks", json::value_t::array, true)) {
      for (size_t i = 0; i < blocks->size(); ++i) {
        if (auto block = read_block((*blocks)[i], "/blocks/" + std::to_string(i), i)) {
          map.blocks.push_back(std::move(*block));
        }
      }
    }
    if (const json *instances = member(doc, "", "", "instances", json::value_t::array, true)) {
      for (size_t i = 0; i < instances->size(); ++i) {
        if (auto instance = read_instance((*instances)[i], "/instances/" + std::to_string(i), i)) {
          map.instances.push_back(std::move(*instance));
        }
      }
    }
    return map;
  }

 private:
  unsigned line_of(const std::string &pointer) const {
    const auto found = source_.lines.find(pointer);
    return found == source_.lines.end() ? 0 : found->second;
  }

  void error(const Place &place, const std::string &message) {
    findings_.push_back({Severity::error, source_.file, place.line, place.path, message});
  }

  // Path of a named part: "register CTRL", or "register #3" without a name.
  static std::string part_path(const std::string &parent, const char *kind, const json &object,
                               size_t index) {
    const auto name = object.is_object() ? object.find("name") : object.end();
    std::string part = std::string(kind) + " ";
    part += (object.is_object() && name != object.end() && name->is_string())
                ? name->get<std::string>()
                : "#" + std::to_string(index + 1);
    return parent.empty() ? part : parent + " / " + part;
  }

  void keys(const json &object, const std::string &pointer, const std::string &path,
            std::initializer_list<const char *> allowed) {
    for (const auto &[key, value] : object.items()) {
      bool known = false;
      for (const char *name : allowed) {
        known = known || key == name;
      }
      if (!known) {
        error({line_of(pointer_append(pointer, key)), path}, "unknown key '" + key + "'");
      }
    }
  }

  static const char *type_name(json::value_t type) {
    switch (type) {
      case json::value_t::array:
        return "an array";
      case json::value_t::object:
        return "an object";
      default:
        return "a string";
    }
  }

  const json *member(const json &object, const std::string &pointer, const std::string &path,
                     const char *key, json::value_t type, bool required) {
    const auto found = object.find(key);
    if (found == object.end()) {
      if (required) {
        error({line_of(pointer), path}, std::string("missing key '") + key + "'");
      }
      return nullptr;
    }
    if (found->type() != type) {
      error({line_of(pointer_append(pointer, key)), path},
            std::string("'") + key + "' must be " + type_name(type));
      return nullptr;
    }
    return &*found;
  }

  std::string text(const json &object, const std::string &pointer, const std::string &path,
                   const char *key, bool required) {
    const json *value = member(object, pointer, path, key, json::value_t::string, required);
    return value != nullptr ? value->get<std::string>() : std::string();
  }

  // A number member; `is_signed` allows a negative value.
  std::optional<ParsedNumber> number(const json &object, const std::string &pointer,
                                     const std::string &path, const char *key, bool required,
                                     bool is_signed) {
    const auto found = object.find(key);
    // The member's line is looked up only for a finding.
    const auto place = [&] { return Place{line_of(pointer_append(pointer, key)), path}; };
    if (found == object.end()) {
      if (required) {
        error({line_of(pointer), path}, std::string("missing key '") + key + "'");
      }
      return std::nullopt;
    }
    ParsedNumber parsed;
    if (found->is_number_unsigned()) {
      parsed = {true, false, Value::of(found->get<uint64_t>())};
    } else if (found->is_number_integer()) {
      const int64_t value = found->get<int64_t>();
      parsed = {true, value < 0, Value::of(value < 0 ? 0 - static_cast<uint64_t>(value)
                                                     : static_cast<uint64_t>(value))};
    } else if (found->is_string()) {
      parsed = parse_number_text(found->get<std::string>());
      if (!parsed.ok) {
        error(place(), std::string("'") + key + "' is not a number: '" + found->get<std::string>() +
                         "' (expected decimal or 0x hex digits)");
        return std::nullopt;
      }
    } else {
      error(place(), std::string("'") + key + "' must be a whole number (an integer or a string)");
      return std::nullopt;
    }
    if (parsed.negative && parsed.magnitude.bit_length() != 0 && !is_signed) {
      error(place(), std::string("'") + key + "' must not be negative");
      return std::nullopt;
    }
    return parsed;
  }

  // A count, offset or width: unsigned, at most 64 bits.
  std::optional<uint64_t> unsigned64(const json &object, const std::string &pointer,
                                     const std::string &path, const char *key, bool required) {
    const auto parsed = number(object, pointer, path, key, required, false);
    if (!parsed) {
      return std::nullopt;
    }
    if (!parsed->magnitude.fits(64)) {
      error({line_of(pointer_append(pointer, key)), path},
            std::string("'") + key + "' " + parsed->magnitude.hex() + " does not fit 64 bits");
      return std::nullopt;
    }
    return parsed->magnitude.low64();
  }

  std::optional<Value> value(const json &object, const std::string &pointer,
                             const std::string &path, const char *key) {
    const auto parsed = number(object, pointer, path, key, false, false);
    return parsed ? std::optional<Value>(parsed->magnitude) : std::nullopt;
  }

  std::optional<Access> access(const json &object, const std::string &pointer,
                               const std::string &path) {
    const std::string name = text(object, pointer, path, "access", false);
    if (name.empty() && object.find("access") == object.end()) {
      return std::nullopt;
    }
    const auto kind = access_from_name(name);
    if (!kind) {
      error({line_of(pointer_append(pointer, "access")), path},
            "unknown access kind '" + name + "' (expected rw, ro, rclr, w1c, w1s, w0c or wo)");
    }
    return kind;
  }

  std::optional<ArraySpec> array(const json &object, const std::string &pointer,
                                 const std::string &path) {
    const json *given = member(object, pointer, path, "array", json::value_t::object, false);
    if (given == nullptr) {
      return std::nullopt;
    }
    const std::string at = pointer_append(pointer, "array");
    keys(*given, at, path, {"count", "stride"});
    ArraySpec array;
    array.place = {line_of(at), path};
    const auto count = unsigned64(*given, at, path, "count", true);
    const auto stride = number(*given, at, path, "stride", true, true);
    if (!count || !stride) {
      return std::nullopt;
    }
    const uint64_t limit = uint64_t{1} << 62;
    if (!stride->magnitude.fits(62)) {
      error({line_of(pointer_append(at, "stride")), path},
            "stride " + std::string(stride->negative ? "-" : "") + stride->magnitude.hex() +
                " is out of any range");
      return std::nullopt;
    }
    const auto magnitude = static_cast<int64_t>(stride->magnitude.low64() % limit);
    array.count = *count;
    array.stride = stride->negative ? -magnitude : magnitude;
    return array;
  }

  std::optional<EnumValue> read_enum(const json &object, const std::string &pointer,
                                     const std::string &parent, size_t index) {
    const std::string path = part_path(parent, "enum", object, index);
    if (!object.is_object()) {
      error({line_of(pointer), path}, "an enum value is an object");
      return std::nullopt;
    }
    keys(object, pointer, path, {"name", "value", "description"});
    EnumValue entry;
    entry.place = {line_of(pointer), path};
    entry.name = text(object, pointer, path, "name", true);
    entry.description = text(object, pointer, path, "description", false);
    const auto parsed = number(object, pointer, path, "value", true, false);
    if (!parsed) {
      return std::nullopt;
    }
    entry.value = parsed->magnitude;
    return entry;
  }

  std::optional<Field> read_field(const json &object, const std::string &pointer,
                                  const std::string &parent, size_t index) {
    const std::string path = part_path(parent, "field", object, index);
    if (!object.is_object()) {
      error({line_of(pointer), path}, "a field is an object");
      return std::nullopt;
    }
    keys(object, pointer, path,
         {"name", "description", "lsb", "bits", "access", "reset", "enums", "array"});
    Field field;
    field.place = {line_of(pointer), path};
    field.name = text(object, pointer, path, "name", true);
    field.description = text(object, pointer, path, "description", false);
    const auto lsb = unsigned64(object, pointer, path, "lsb", true);
    const auto bits = unsigned64(object, pointer, path, "bits", true);
    field.access = access(object, pointer, path);
    field.reset = value(object, pointer, path, "reset");
    field.array = array(object, pointer, path);
    if (const json *enums = member(object, pointer, path, "enums", json::value_t::array, false)) {
      for (size_t i = 0; i < enums->size(); ++i) {
        if (auto entry = read_enum((*enums)[i], pointer + "/enums/" + std::to_string(i), path, i)) {
          field.enums.push_back(std::move(*entry));
        }
      }
    }
    if (!lsb || !bits) {
      return std::nullopt;
    }
    field.lsb = *lsb;
    field.bits = *bits;
    return field;
  }

  std::optional<Register> read_register(const json &object, const std::string &pointer,
                                        const std::string &parent, size_t index) {
    const std::string path = part_path(parent, "register", object, index);
    if (!object.is_object()) {
      error({line_of(pointer), path}, "a register is an object");
      return std::nullopt;
    }
    keys(object, pointer, path,
         {"name", "description", "offset", "bytes", "access", "reset", "array", "fields"});
    Register reg;
    reg.place = {line_of(pointer), path};
    reg.name = text(object, pointer, path, "name", true);
    reg.description = text(object, pointer, path, "description", false);
    const auto offset = unsigned64(object, pointer, path, "offset", true);
    const auto bytes = unsigned64(object, pointer, path, "bytes", true);
    reg.access = access(object, pointer, path).value_or(Access::rw);
    reg.reset = value(object, pointer, path, "reset");
    reg.array = array(object, pointer, path);
    if (const json *fields = member(object, pointer, path, "fields", json::value_t::array, false)) {
      reg.fields.reserve(fields->size());
      for (size_t i = 0; i < fields->size(); ++i) {
        if (auto field = read_field((*fields)[i], pointer + "/fields/" + std::to_string(i), path, i)) {
          reg.fields.push_back(std::move(*field));
        }
      }
    }
    if (!offset || !bytes) {
      return std::nullopt;
    }
    reg.offset = *offset;
    reg.bytes = *bytes;
    return reg;
  }

  std::optional<Block> read_block(const json &object, const std::string &pointer, size_t index) {
    const std::string path = part_path("", "block", object, index);
    if (!object.is_object()) {
      error({line_of(pointer), path}, "a block is an object");
      return std::nullopt;
    }
    keys(object, pointer, path, {"name", "description", "registers"});
    Block block;
    block.place = {line_of(pointer), path};
    block.name = text(object, pointer, path, "name", true);
    block.description = text(object, pointer, path, "description", false);
    if (const json *regs = member(object, pointer, path, "registers", json::value_t::array, true)) {
      block.registers.reserve(regs->size());
      for (size_t i = 0; i < regs->size(); ++i) {
        if (auto reg = read_register((*regs)[i], pointer + "/registers/" + std::to_string(i), path, i)) {
          block.registers.push_back(std::move(*reg));
        }
      }
    }
    return block;
  }

  std::optional<Instance> read_instance(const json &object, const std::string &pointer,
                                        size_t index) {
    const std::string path = part_path("", "instance", object, index);
    if (!object.is_object()) {
      error({line_of(pointer), path}, "an instance is an object");
      return std::nullopt;
    }
    keys(object, pointer, path, {"name", "block", "base", "bus"});
    Instance instance;
    instance.place = {line_of(pointer), path};
    instance.name = text(object, pointer, path, "name", true);
    instance.block = text(object, pointer, path, "block", true);
    instance.bus = text(object, pointer, path, "bus", false);  // empty: the first bus
    const auto base = unsigned64(object, pointer, path, "base", true);
    if (!base) {
      return std::nullopt;
    }
    instance.base = *base;
    return instance;
  }

  const MapSource &source_;
  Diagnostics &findings_;
};

}  // namespace

Map build_model(const MapSource &source, Diagnostics &findings) {
  return Builder(source, findings).build();
}

}  // namespace chip::map
