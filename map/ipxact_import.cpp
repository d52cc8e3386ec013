// SPDX-License-Identifier: Apache-2.0
// Reads an IP-XACT component with libxml2 into the importer's records
// (ipxact_model.hpp); ipxact_to_map.cpp then writes the map document.
// libxml2 is called through the functions xml_library.hpp loads, passed
// down as `libxml`.
#include "map/ipxact_import.hpp"

#include <climits>
#include <map>
#include <memory>

#include "map/ipxact_model.hpp"
#include "map/ipxact_value.hpp"
#include "map/xml_library.hpp"

namespace chip::map {
namespace {

using namespace ipxact;

constexpr std::string_view kNamespace2014 = "http://www.accellera.org/XMLSchema/IPXACT/1685-2014";
constexpr std::string_view kNamespace2022 = "http://www.accellera.org/XMLSchema/IPXACT/1685-2022";

// Unrolled array levels make one register per element; past this many the
// file surely describes a memory, not registers.
constexpr uint64_t kMaxUnrolled = 4096;
constexpr uint64_t kMaxUnrolledFields = 65536;
// Element counts beyond this cannot be a record's elem_num anyway; the
// bound keeps products of dims far from overflow.
constexpr uint64_t kMaxCount = uint64_t{1} << 40;

// Address sums of up to 64-bit terms, checked before they are kept.
__extension__ typedef unsigned __int128 U128;

// ---- XML -----------------------------------------------------------------

std::string_view chars(const xmlChar *text) {
  return text == nullptr ? std::string_view{} : std::string_view(reinterpret_cast<const char *>(text));
}

unsigned line_of(const XmlFunctions &libxml, const xmlNode *node) {
  const long line = libxml.get_line_no(node);
  return line > 0 && line <= static_cast<long>(UINT_MAX) ? static_cast<unsigned>(line) : 0;
}

// Trimmed text content of an element (all its text and CDATA).
std::string text_of(const XmlFunctions &libxml, const xmlNode *node) {
  if (node == nullptr) return {};
  xmlChar *content = libxml.node_get_content(node);
  std::string text(chars(content));
  libxml.free_text(content);
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<std::string> attribute(const XmlFunctions &libxml, const xmlNode *node,
                                     const char *name) {
  xmlChar *value = libxml.get_prop(node, reinterpret_cast<const xmlChar *>(name));
  if (value == nullptr) return std::nullopt;
  std::string text(chars(value));
  libxml.free_text(value);
  return text;
}

// A text quoted in a finding: at most 60 characters.
std::string brief(const std::string &text) {
  return text.size() <= 60 ? text : text.substr(0, 57) + "...";
}

// Findings are one line each, whatever names and texts the file holds.
void one_line(std::string &text) {
  for (char &c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
}

// What the parser saw that stops the import: an entity declaration (the
// parser is stopped there) or its first error (later ones follow from it).
struct EntityGuard {
  const XmlFunctions *libxml;
  std::string name;
  unsigned line = 0;
  std::string first_error;
  unsigned error_line = 0;
};

void keep_first_error(void *context, xmlErrorPtr error) {
  auto *parser = static_cast<xmlParserCtxtPtr>(context);
  auto *guard = static_cast<EntityGuard *>(parser->_private);
  if (error == nullptr || error->level < XML_ERR_ERROR || !guard->first_error.empty()) return;
  guard->first_error = error->message != nullptr ? error->message : "not XML";
  guard->error_line = error->line > 0 ? static_cast<unsigned>(error->line) : 0;
}

void stop_on_entity(void *context, const xmlChar *name, int, const xmlChar *, const xmlChar *,
                    xmlChar *) {
  auto *parser = static_cast<xmlParserCtxtPtr>(context);
  auto *guard = static_cast<EntityGuard *>(parser->_private);
  if (guard->name.empty()) {
    guard->name = std::string(chars(name));
    guard->line = parser->input != nullptr ? static_cast<unsigned>(parser->input->line) : 0;
  }
  guard->libxml->stop_parser(parser);
}

void stop_on_unparsed_entity(void *context, const xmlChar *name, const xmlChar *publicId,
                             const xmlChar *systemId, const xmlChar *) {
  stop_on_entity(context, name, 0, publicId, systemId, nullptr);
}

struct DocFree {
  decltype(&::xmlFreeDoc) free_doc;
  void operator()(xmlDoc *doc) const { free_doc(doc); }
};
struct ParserFree {
  decltype(&::xmlFreeParserCtxt) free_parser_ctxt;
  void operator()(xmlParserCtxt *parser) const { free_parser_ctxt(parser); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// ---- The reader ----------------------------------------------------------

// The access elements of a register or field, "" when not given, with the
// element each came from (for the line of a finding).
struct Access {
  std::string access;
  std::string modified_write;  // modifiedWriteValue
  std::string read_action;     // readAction
  const xmlNode *access_node = nullptr;
  const xmlNode *write_node = nullptr;
  const xmlNode *read_node = nullptr;
};

// One array level of a register on its way to a record: `count` copies
// `stride` address units apart, named by the path segment `segment`.
struct Level {
  uint64_t count;
  uint64_t stride;
  size_t segment;
};

class Reader {
 public:
  Reader(const XmlFunctions &libxml, const std::string &file, Diagnostics &findings)
      : libxml_(libxml), file_(file), findings_(findings) {}

  std::optional<Component> read(const xmlNode *root, const IpxactOptions &options);

 private:
  const XmlFunctions &libxml_;
  const std::string &file_;
  Diagnostics &findings_;
  std::string ns_;
  uint64_t unit_bits_ = 8;
  std::map<std::string, std::string> component_params_;
  std::map<std::string, std::string> block_params_;

  void error(const xmlNode *node, const std::string &path, std::string message) {
    findings_.push_back({Severity::error, file_, line_of(libxml_, node), path, std::move(message)});
  }
  void warning(const xmlNode *node, const std::string &path, std::string message) {
    findings_.push_back(
        {Severity::warning, file_, line_of(libxml_, node), path, std::move(message)});
  }

  bool is(const xmlNode *node, std::string_view name) const {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
           chars(node->ns->href) == ns_ && chars(node->name) == name;
  }
  const xmlNode *child(const xmlNode *node, std::string_view name) const {
    for (const xmlNode *c = node == nullptr ? nullptr : node->children; c != nullptr; c = c->next)
      if (is(c, name)) return c;
    return nullptr;
  }
  std::vector<const xmlNode *> children(const xmlNode *node, std::string_view name) const {
    std::vector<const xmlNode *> out;
    for (const xmlNode *c = node == nullptr ? nullptr : node->children; c != nullptr; c = c->next)
      if (is(c, name)) out.push_back(c);
    return out;
  }
  std::string child_text(const xmlNode *node, std::string_view name) const {
    return text_of(libxml_, child(node, name));
  }

  // Constructs this importer does not follow: each refused by name.
  bool refuse_children(const xmlNode *node, const std::string &path,
                       std::initializer_list<std::string_view> names) {
    bool refused = false;
    for (std::string_view name : names) {
      if (const xmlNode *found = child(node, name)) {
        error(found, path, std::string(name) + " is not supported");
        refused = true;
      }
    }
    return refused;
  }

  static void collect_parameters(const std::vector<const xmlNode *> &list, const Reader &reader,
                                 std::map<std::string, std::string> &out) {
    for (const xmlNode *parameter : list) {
      const std::string value = reader.child_text(parameter, "value");
      if (const auto id = attribute(reader.libxml_, parameter, "parameterId")) {
        out.emplace(*id, value);
      }
      out.emplace(reader.child_text(parameter, "name"), value);
    }
  }

  std::optional<std::string> lookup(std::string_view name) const {
    const std::string key(name);
    if (const auto found = block_params_.find(key); found != block_params_.end()) return found->second;
    if (const auto found = component_params_.find(key); found != component_params_.end())
      return found->second;
    return std::nullopt;
  }

  // The number an element holds; an error finding naming the element and
  // its text when it does not evaluate.
  std::optional<uint64_t> number(const xmlNode *node, const std::string &path) {
    const std::string text = text_of(libxml_, node);
    const Evaluated result =
        evaluate(text, [this](std::string_view name) { return lookup(name); });
    if (!result.value) {
      error(node, path, std::string(chars(node->name)) + " '" + brief(text) + "': " + result.error);
    }
    return result.value;
  }
  std::optional<uint64_t> required_number(const xmlNode *parent, std::string_view name,
                                          const std::string &path) {
    const xmlNode *node = child(parent, name);
    if (node == nullptr) {
      error(parent, path, "no " + std::string(name));
      return std::nullopt;
    }
    return number(node, path);
  }

  // False when isPresent evaluates to 0; a failed evaluation is an error
  // and counts as present, so that nothing vanishes unreported.
  bool present(const xmlNode *node, const std::string &path) {
    const xmlNode *flag = child(node, "isPresent");
    if (flag == nullptr) return true;
    const auto value = number(flag, path);
    return !value || *value != 0;
  }

  Access access_of(const xmlNode *node, const std::string &path);
  std::optional<std::string> register_kind(const Access &access, const xmlNode *node,
                                           const std::string &path);
  std::optional<std::string> field_kind(const Access &access, const std::string &inherited,
                                        const xmlNode *node, const std::string &path);
  std::optional<Array> dims(const xmlNode *node, uint64_t implied_stride, bool bits,
                            const std::string &path);
  std::optional<Block> block(const xmlNode *node, const std::string &path);
  bool contents(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
                std::vector<std::string> segments, const std::string &inherited_access,
                const std::string &path, Block &out);
  bool register_file(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
                     std::vector<std::string> segments, const std::string &inherited_access,
                     const std::string &path, Block &out);
  bool reg(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
           std::vector<std::string> segments, const std::string &inherited_access,
           const std::string &path, Block &out);
  std::optional<Field> field(const xmlNode *node, const std::string &register_access,
                             const std::string &path);
  std::optional<uint64_t> reset_of(const xmlNode *node, const std::string &path);
  bool in_bytes(Component &component, const xmlNode *map, const std::string &path);
};

// 2014 puts access, modifiedWriteValue and readAction on the element; 2022
// puts them in (field)accessPolicies, one policy per mode.
Access Reader::access_of(const xmlNode *node, const std::string &path) {
  const xmlNode *holder = node;
  for (std::string_view list : {"accessPolicies", "fieldAccessPolicies"}) {
    if (const xmlNode *policies = child(node, list)) {
      const std::string_view item = list == "accessPolicies" ? "accessPolicy" : "fieldAccessPolicy";
      const auto all = children(policies, item);
      if (all.size() > 1) {
        error(policies, path, std::to_string(all.size()) + " " + std::string(item) +
                                  " elements (access modes) are not supported");
      }
      holder = all.empty() ? nullptr : all.front();
    }
  }
  Access out;
  out.access_node = child(holder, "access");
  out.write_node = child(holder, "modifiedWriteValue");
  out.read_node = child(holder, "readAction");
  out.access = text_of(libxml_, out.access_node);
  out.modified_write = text_of(libxml_, out.write_node);
  out.read_action = text_of(libxml_, out.read_node);
  return out;
}

std::optional<std::string> Reader::register_kind(const Access &access, const xmlNode *node,
                                                 const std::string &path) {
  if (access.access.empty() || access.access == "read-write") return "rw";
  if (access.access == "read-only") return "ro";
  if (access.access == "write-only") return "wo";
  if (access.access == "read-writeOnce" || access.access == "writeOnce") {
    warning(access.access_node != nullptr ? access.access_node : node, path, "access " + access.access + " imported as " +
                            (access.access == "writeOnce" ? "wo" : "rw") +
                            ": only the first write after reset takes effect");
    return access.access == "writeOnce" ? "wo" : "rw";
  }
  error(access.access_node != nullptr ? access.access_node : node, path,
        "access '" + access.access + "' is not supported");
  return std::nullopt;
}

// The map access kind of a field: its own access (or the inherited one),
// refined by its modifiedWriteValue and readAction where a driver's reads
// and writes mean the same; refused where a read-modify-write would do
// what the map cannot say.
std::optional<std::string> Reader::field_kind(const Access &access, const std::string &inherited,
                                              const xmlNode *node, const std::string &path) {
  std::optional<std::string> base =
      access.access.empty() ? std::optional<std::string>(inherited) : register_kind(access, node, path);
  if (!base) return std::nullopt;
  const std::string &write = access.modified_write;
  const std::string &read = access.read_action;
  const xmlNode *write_at = access.write_node != nullptr ? access.write_node : node;
  const xmlNode *read_at = access.read_node != nullptr ? access.read_node : node;
  if (!write.empty() && write != "oneToClear" && write != "oneToSet" && write != "zeroToClear") {
    error(write_at, path, "modifiedWriteValue '" + write +
                              "' is not supported: a read-modify-write of its register would change it");
    return std::nullopt;
  }
  if (!read.empty()) {
    if (read != "clear") {
      error(read_at, path, "readAction '" + read + "' is not supported: a read changes the field");
      return std::nullopt;
    }
    if (*base == "wo" || !write.empty()) {
      error(read_at, path, "readAction clear together with " +
                               (write.empty() ? "access write-only" : "modifiedWriteValue " + write) +
                               " cannot be expressed");
      return std::nullopt;
    }
    return "rclr";
  }
  if (write.empty()) return base;
  if (*base == "ro") {
    error(write_at, path, "modifiedWriteValue " + write + " on a read-only field");
    return std::nullopt;
  }
  if (*base == "wo") {
    // Write-only registers are written without a read, the other bits as 0:
    // harmless for write-1 bits, but a write of 0 would clear the others.
    if (write == "zeroToClear") {
      error(write_at, path, "modifiedWriteValue zeroToClear on a write-only field cannot be expressed");
      return std::nullopt;
    }
    return "wo";
  }
  return write == "oneToClear" ? "w1c" : write == "oneToSet" ? "w1s" : "w0c";
}

// The dims of a register, register file or field as one array (dims that
// follow each other in address order fold into one): 2014 dim elements
// without a stride, or a 2022 array with dims and a stride (bitStride for a
// field). nullopt after an error; count 1 when there is no array. A dim of
// 0 means no array (a tool writes it so).
std::optional<Array> Reader::dims(const xmlNode *node, uint64_t implied_stride, bool bits,
                                  const std::string &path) {
  std::vector<const xmlNode *> list = children(node, "dim");
  const xmlNode *array = child(node, "array");
  const xmlNode *stride_node = nullptr;
  if (array != nullptr) {
    const auto inner = children(array, "dim");
    list.insert(list.end(), inner.begin(), inner.end());
    stride_node = child(array, bits ? "bitStride" : "stride");
    if (stride_node == nullptr && bits) stride_node = child(array, "stride");
  }
  Array out{1, static_cast<int64_t>(implied_stride)};
  for (const xmlNode *dim : list) {
    const auto count = number(dim, path);
    if (!count) return std::nullopt;
    if (*count == 0) continue;
    if (*count > kMaxCount / out.count) {
      error(dim, path, "array of more than 2^40 elements");
      return std::nullopt;
    }
    out.count *= *count;
  }
  if (stride_node != nullptr) {
    const auto stride = number(stride_node, path);
    if (!stride) return std::nullopt;
    if (*stride > kMaxCount) {
      error(stride_node, path, "stride above 2^40");
      return std::nullopt;
    }
    out.stride = static_cast<int64_t>(*stride);
  }
  return out;
}

std::optional<uint64_t> Reader::reset_of(const xmlNode *node, const std::string &path) {
  const xmlNode *resets = child(node, "resets");
  const xmlNode *chosen = nullptr;
  for (const xmlNode *reset : children(resets, "reset")) {
    if (!attribute(libxml_, reset, "resetTypeRef")) {
      chosen = reset;
      break;
    }
  }
  if (chosen == nullptr) return std::nullopt;
  const auto value = required_number(chosen, "value", path);
  if (!value) return std::nullopt;
  if (const xmlNode *mask_node = child(chosen, "mask")) {
    const auto mask = number(mask_node, path);
    if (!mask || *mask == 0) return std::nullopt;
    return *value & *mask;
  }
  return value;
}

std::optional<Field> Reader::field(const xmlNode *node, const std::string &register_access,
                                   const std::string &register_path) {
  Field out;
  out.name = child_text(node, "name");
  out.description = child_text(node, "description");
  out.line = line_of(libxml_, node);
  const std::string path = register_path + " / field " + out.name;
  if (refuse_children(node, path, {"fieldDefinitionRef"})) return std::nullopt;
  const auto lsb = required_number(node, "bitOffset", path);
  const auto bits = required_number(node, "bitWidth", path);
  const auto kind = field_kind(access_of(node, path), register_access, node, path);
  const size_t errors_before = findings_.size();
  out.reset = reset_of(node, path);
  bool ok = lsb && bits && kind && findings_.size() == errors_before;
  if (!ok) return std::nullopt;
  out.lsb = *lsb;
  out.bits = *bits;
  out.access = *kind;
  if (const xmlNode *enums = child(node, "enumeratedValues")) {
    if (refuse_children(enums, path, {"enumerationDefinitionRef"})) return std::nullopt;
    for (const xmlNode *item : children(enums, "enumeratedValue")) {
      const auto value = required_number(item, "value", path);
      if (!value) {
        ok = false;
        continue;
      }
      out.enums.push_back({child_text(item, "name"), child_text(item, "description"), *value,
                           line_of(libxml_, item)});
    }
  }
  const auto array = dims(node, *bits, true, path);
  if (!array) return std::nullopt;
  if (array->count > 1) out.array = array;
  return ok ? std::optional<Field>(std::move(out)) : std::nullopt;
}

// Folds adjacent levels whose outer stride spans exactly the inner array.
std::vector<Level> fold(std::vector<Level> levels) {
  std::vector<Level> out;
  for (const Level &level : levels) {
    if (level.count == 1) continue;
    out.push_back(level);
    while (out.size() >= 2) {
      Level &outer = out[out.size() - 2];
      const Level &inner = out.back();
      const U128 span = static_cast<U128>(inner.count) * inner.stride;
      if (outer.stride != span || outer.count > kMaxCount / inner.count) break;
      outer = {outer.count * inner.count, inner.stride, inner.segment};
      out.pop_back();
    }
  }
  return out;
}

bool Reader::reg(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
                 std::vector<std::string> segments, const std::string &inherited_access,
                 const std::string &parent_path, Block &out) {
  const std::string name = child_text(node, "name");
  const std::string path = parent_path + " / register " + name;
  if (!present(node, path)) return true;
  if (refuse_children(node, path, {"registerDefinitionRef", "alternateRegisters"})) return false;
  const auto own_offset = required_number(node, "addressOffset", path);
  const auto size = required_number(node, "size", path);
  const Access access = access_of(node, path);
  const auto kind = access.access.empty() ? std::optional<std::string>(inherited_access)
                                          : register_kind(access, node, path);
  if (!own_offset || !size || !kind) return false;
  if (*size == 0 || *size % 8 != 0 || *size > 8 * 1023) {
    error(child(node, "size"), path, "size " + std::to_string(*size) +
                                         " is not a whole number of bytes from 1 to 1023");
    return false;
  }
  // Without a stride, elements follow each other: the size in address units.
  const uint64_t units = (*size + unit_bits_ - 1) / unit_bits_;
  const auto array = dims(node, units, false, path);
  if (!array) return false;
  if (array->count > 1 && child(child(node, "array"), "stride") == nullptr && *size % unit_bits_ != 0) {
    error(node, path, "array without a stride whose size " + std::to_string(*size) +
                          " is not a whole number of " + std::to_string(unit_bits_) +
                          "-bit address units");
    return false;
  }
  segments.push_back(name);
  levels.push_back({array->count, static_cast<uint64_t>(array->stride), segments.size() - 1});

  Register proto;
  proto.description = child_text(node, "description");
  proto.bytes = *size / 8;
  proto.access = *kind;
  proto.line = line_of(libxml_, node);
  bool ok = true;
  bool field_arrays = false;
  for (const xmlNode *field_node : children(node, "field")) {
    if (!present(field_node, path)) continue;
    auto parsed = field(field_node, *kind, path);
    if (!parsed) {
      ok = false;
      continue;
    }
    field_arrays = field_arrays || parsed->array.has_value();
    proto.fields.push_back(std::move(*parsed));
  }
  if (!ok) return false;

  // A record holds one array: the innermost level stays an array unless a
  // field array needs the record's array itself; the others are unrolled.
  levels = fold(std::move(levels));
  std::optional<Level> kept;
  if (!levels.empty() && !field_arrays) {
    kept = levels.back();
    levels.pop_back();
  }
  uint64_t copies = 1;
  for (const Level &level : levels) {
    if (level.count > kMaxUnrolled / copies) {
      error(node, path, "unrolling its array levels would make more than " +
                            std::to_string(kMaxUnrolled) + " registers");
      return false;
    }
    copies *= level.count;
  }
  if (copies > 1 && copies * proto.fields.size() > kMaxUnrolledFields) {
    error(node, path, "unrolling its array levels would make more than " +
                          std::to_string(kMaxUnrolledFields) + " fields");
    return false;
  }
  const uint64_t base_offset = offset + *own_offset;
  for (uint64_t copy = 0; copy < copies; ++copy) {
    std::vector<std::string> names = segments;
    U128 at = base_offset;
    uint64_t rest = copy;
    for (size_t i = levels.size(); i-- > 0;) {
      const uint64_t index = rest % levels[i].count;
      rest /= levels[i].count;
      names[levels[i].segment] += "_" + std::to_string(index);
      at += static_cast<U128>(index) * levels[i].stride;
    }
    if (at > UINT64_MAX) {
      error(node, path, "address offset beyond 64 bits");
      return false;
    }
    Register copy_reg = proto;
    for (const std::string &segment : names) {
      copy_reg.name += (copy_reg.name.empty() ? "" : "_") + segment;
    }
    copy_reg.offset = static_cast<uint64_t>(at);
    if (kept) copy_reg.array = Array{kept->count, static_cast<int64_t>(kept->stride)};
    out.registers.push_back(std::move(copy_reg));
  }
  return true;
}

bool Reader::register_file(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
                           std::vector<std::string> segments, const std::string &inherited_access,
                           const std::string &parent_path, Block &out) {
  const std::string name = child_text(node, "name");
  const std::string path = parent_path + " / register file " + name;
  if (!present(node, path)) return true;
  if (refuse_children(node, path, {"registerFileDefinitionRef"})) return false;
  const auto own_offset = required_number(node, "addressOffset", path);
  const auto range = required_number(node, "range", path);
  if (!own_offset || !range) return false;
  const auto array = dims(node, *range, false, path);
  if (!array) return false;
  if (array->count > 1 && static_cast<uint64_t>(array->stride) > kMaxCount) {
    error(node, path, "array stride (the file's range without a stride) above 2^40");
    return false;
  }
  if (*own_offset > UINT64_MAX - offset) {
    error(node, path, "address offset beyond 64 bits");
    return false;
  }
  segments.push_back(name);
  levels.push_back({array->count, static_cast<uint64_t>(array->stride), segments.size() - 1});
  return contents(node, offset + *own_offset, std::move(levels), std::move(segments),
                  inherited_access, path, out);
}

bool Reader::contents(const xmlNode *node, uint64_t offset, std::vector<Level> levels,
                      std::vector<std::string> segments, const std::string &inherited_access,
                      const std::string &path, Block &out) {
  bool ok = true;
  for (const xmlNode *c = node->children; c != nullptr; c = c->next) {
    if (is(c, "register")) {
      ok = reg(c, offset, levels, segments, inherited_access, path, out) && ok;
    } else if (is(c, "registerFile")) {
      ok = register_file(c, offset, levels, segments, inherited_access, path, out) && ok;
    }
  }
  return ok;
}

std::optional<Block> Reader::block(const xmlNode *node, const std::string &map_path) {
  Block out;
  out.name = child_text(node, "name");
  out.type_identifier = child_text(node, "typeIdentifier");
  out.description = child_text(node, "description");
  out.line = line_of(libxml_, node);
  const std::string path = map_path + " / address block " + out.name;
  block_params_.clear();
  collect_parameters(children(child(node, "parameters"), "parameter"), *this, block_params_);
  if (!present(node, path)) return out;
  if (refuse_children(node, path, {"addressBlockDefinitionRef"})) return std::nullopt;
  const auto base = required_number(node, "baseAddress", path);
  const xmlNode *range_node = child(node, "range");
  const uint64_t range = range_node != nullptr ? number(range_node, path).value_or(0) : 0;
  const auto kind = register_kind(access_of(node, path), node, path);
  if (!base || !kind) return std::nullopt;
  out.base = *base;
  if (!contents(node, 0, {}, {}, *kind, path, out)) return std::nullopt;
  if (range != 0) {
    for (const Register &reg : out.registers) {
      const uint64_t count = reg.array ? reg.array->count : 1;
      const uint64_t stride = reg.array ? static_cast<uint64_t>(reg.array->stride) : 0;
      const U128 end = reg.offset + static_cast<U128>(count - 1) * stride +
          (reg.bytes * 8 + unit_bits_ - 1) / unit_bits_;
      if (end > range) {
        warning(node, path + " / register " + reg.name,
                "register ends past the address block's range " + std::to_string(range));
      }
    }
  }
  return out;
}

std::optional<Component> Reader::read(const xmlNode *root, const IpxactOptions &options) {
  const std::string_view href = root->ns != nullptr ? chars(root->ns->href) : std::string_view{};
  if (chars(root->name) != "component" || (href != kNamespace2014 && href != kNamespace2022)) {
    findings_.push_back({Severity::error, file_, line_of(libxml_, root), {},
                         "not an IP-XACT 1685-2014 or 1685-2022 component: root element " +
                             std::string(chars(root->name)) +
                             (href.empty() ? std::string(" without a namespace")
                                           : " in namespace " + std::string(href))});
    return std::nullopt;
  }
  ns_ = std::string(href);
  Component out;
  out.name = child_text(root, "name");
  out.description = child_text(root, "description");
  out.line = line_of(libxml_, root);
  const std::string component_path = "component " + out.name;
  collect_parameters(children(child(root, "parameters"), "parameter"), *this, component_params_);

  std::vector<const xmlNode *> candidates;
  std::string names;
  for (const xmlNode *map : children(child(root, "memoryMaps"), "memoryMap")) {
    const std::string name = child_text(map, "name");
    if (!options.memory_map.empty() ? name == options.memory_map
                                    : child(map, "addressBlock") != nullptr ||
                                          child(map, "bank") != nullptr ||
                                          child(map, "memoryMapDefinitionRef") != nullptr) {
      candidates.push_back(map);
      names += (names.empty() ? "" : ", ") + name;
    }
  }
  if (candidates.size() != 1) {
    findings_.push_back(
        {Severity::error, file_, line_of(libxml_, root), component_path,
         !options.memory_map.empty() ? "no memory map named " + options.memory_map
         : candidates.empty()        ? std::string("no memory map with address blocks")
                                     : std::to_string(candidates.size()) +
                                           " memory maps with address blocks (" + names +
                                           "); an imported map has one bus: choose one"});
    return std::nullopt;
  }
  const xmlNode *map = candidates.front();
  out.bus = child_text(map, "name");
  const std::string path = "memory map " + out.bus;
  if (refuse_children(map, path, {"memoryMapDefinitionRef", "bank"})) return std::nullopt;
  if (const xmlNode *unit = child(map, "addressUnitBits")) {
    const auto bits = number(unit, path);
    if (!bits) return std::nullopt;
    if (*bits == 0 || *bits % 8 != 0 || *bits > 8 * 1023) {
      error(unit, path, "addressUnitBits " + std::to_string(*bits) +
                            " is not a whole number of bytes from 1 to 1023");
      return std::nullopt;
    }
    unit_bits_ = *bits;
    if (unit_bits_ != 8) {
      warning(unit, path, "addressUnitBits " + std::to_string(unit_bits_) +
                              ": addresses, offsets and strides are written in bytes (one address "
                              "unit is " + std::to_string(unit_bits_ / 8) + " bytes)");
    }
  }
  for (const xmlNode *other : children(map, "subspaceMap")) {
    warning(other, path, "subspaceMap " + child_text(other, "name") + " is not imported");
  }
  for (const xmlNode *remap : children(child(map, "memoryRemaps"), "memoryRemap")) {
    warning(remap, path, "memoryRemap " + child_text(remap, "name") +
                             " is not imported (only the default address map is)");
  }
  bool ok = true;
  for (const xmlNode *node : children(map, "addressBlock")) {
    auto parsed = block(node, path);
    if (!parsed) {
      ok = false;
    } else if (parsed->registers.empty()) {
      warning(node, path + " / address block " + parsed->name,
              "holds no registers; not imported");
    } else {
      out.blocks.push_back(std::move(*parsed));
    }
  }
  if (ok && out.blocks.empty()) {
    error(map, path, "no address block holds a register");
    return std::nullopt;
  }
  return ok && in_bytes(out, map, path) ? std::optional<Component>(std::move(out)) : std::nullopt;
}

// A map's addresses are bytes (a field array carries into the register
// `bytes` bytes on): addresses in wider units are scaled.
bool Reader::in_bytes(Component &component, const xmlNode *map, const std::string &path) {
  const uint64_t factor = unit_bits_ / 8;
  if (factor == 1) return true;
  const auto scaled = [&](uint64_t &value) {
    const U128 bytes = static_cast<U128>(value) * factor;
    if (bytes > UINT64_MAX) {
      error(map, path, "an address in bytes does not fit in 64 bits");
      return false;
    }
    value = static_cast<uint64_t>(bytes);
    return true;
  };
  for (Block &block : component.blocks) {
    if (!scaled(block.base)) return false;
    for (Register &reg : block.registers) {
      if (!scaled(reg.offset)) return false;
      // Strides are below 2^40 units, so their bytes fit.
      if (reg.array) reg.array->stride *= static_cast<int64_t>(factor);
    }
  }
  return true;
}

// Parses without network, DTD loading or entity expansion; the first
// entity declaration stops the parser.
DocPtr parse(const XmlFunctions &libxml, std::string_view xml, const std::string &file,
             Diagnostics &findings) {
  DocPtr none(nullptr, DocFree{libxml.free_doc});
  if (xml.size() > static_cast<size_t>(INT_MAX)) {
    findings.push_back({Severity::error, file, 0, {}, "file larger than 2 GiB"});
    return none;
  }
  libxml.init_parser();
  std::unique_ptr<xmlParserCtxt, ParserFree> parser(libxml.new_parser_ctxt(),
                                                    ParserFree{libxml.free_parser_ctxt});
  if (!parser || parser->sax == nullptr) {
    findings.push_back({Severity::error, file, 0, {}, "out of memory"});
    return none;
  }
  EntityGuard guard{&libxml, {}, 0, {}, 0};
  parser->_private = &guard;
  parser->sax->entityDecl = stop_on_entity;
  parser->sax->unparsedEntityDecl = stop_on_unparsed_entity;
  parser->sax->serror = keep_first_error;
  DocPtr doc(libxml.ctxt_read_memory(parser.get(), xml.data(), static_cast<int>(xml.size()),
                                     nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                                         XML_PARSE_BIG_LINES | XML_PARSE_NOCDATA),
             DocFree{libxml.free_doc});
  if (!guard.name.empty()) {
    findings.push_back({Severity::error, file, guard.line, {},
                        "the document declares entity " + guard.name +
                            "; entity declarations are refused (no entity is expanded)"});
    return none;
  }
  if (doc == nullptr || !parser->wellFormed || libxml.doc_get_root_element(doc.get()) == nullptr) {
    std::string message = guard.first_error.empty() ? "not XML" : guard.first_error;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    findings.push_back({Severity::error, file, guard.error_line, {}, "XML: " + message});
    return none;
  }
  return doc;
}

void import_into(const XmlFunctions &libxml, std::string_view xml, const std::string &file,
                 const IpxactOptions &options, Imported &result) {
  DocPtr doc = parse(libxml, xml, file, result.findings);
  if (!doc) return;
  Reader reader(libxml, file, result.findings);
  const std::optional<Component> component =
      reader.read(libxml.doc_get_root_element(doc.get()), options);
  for (const Diagnostic &finding : result.findings) {
    if (finding.severity == Severity::error) return;
  }
  if (component) to_map(*component, file, result.doc, result.lines, result.findings);
}

}  // namespace

Imported import_ipxact(std::string_view xml, const std::string &file, const IpxactOptions &options) {
  return import_ipxact(xml, file, options, xml_library());
}

Imported import_ipxact(std::string_view xml, const std::string &file, const IpxactOptions &options,
                       const XmlLibrary &library) {
  Imported result;
  try {
    if (library.loaded) {
      import_into(library.functions, xml, file, options, result);
    } else {
      result.findings.push_back({Severity::error, file, 0, {},
                                 library.error + "; IP-XACT files cannot be read without it"});
    }
  } catch (const std::exception &failure) {
    // Only allocation can throw here.
    result.doc = nullptr;
    result.lines.clear();
    result.findings.push_back({Severity::error, file, 0, {}, failure.what()});
  }
  for (Diagnostic &finding : result.findings) {
    one_line(finding.path);
    one_line(finding.message);
  }
  return result;
}

}  // namespace chip::map
