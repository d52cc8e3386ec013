// SPDX-License-Identifier: Apache-2.0
// Imports the register description of an IP-XACT component (IEEE 1685-2014
// or 1685-2022) into a register map document (docs/register-map.md).
//
// What is read: the component's name; one memory map (the only one that has
// address blocks, or the one named in the options), its addressUnitBits;
// its address blocks (name, description, typeIdentifier, baseAddress, range,
// access, parameters, isPresent); nested register files (addressOffset,
// range, dim / array with stride); registers (name, description,
// addressOffset, size, dim / array with stride, access); fields (bitOffset,
// bitWidth, access, modifiedWriteValue, readAction, resets, enumerated
// values, 2022 field arrays), with 2014 access elements or 2022 access
// policies. Numbers and expressions are evaluated as ipxact_value.hpp says,
// with the component's and the block's parameters. Vendor extensions,
// bus interfaces, views and everything else outside the memory map are
// ignored.
//
// How it maps:
//   - the component is the chip and the memory map its one bus; addresses
//     are written in bytes, scaled when addressUnitBits is not 8;
//   - address blocks with the same typeIdentifier (or, without one, the
//     same register layout) become one block type, named after the
//     typeIdentifier or the first block's name, with one instance per
//     address block (named after it, based at its baseAddress); blocks
//     without registers are left out with a warning;
//   - registers inside register files are named file_register (nested
//     files joined the same way) at the summed offsets; dims that follow
//     each other in address order fold into one register array, other
//     array levels are unrolled into copies named name_<index>; a register
//     with field arrays is unrolled too, since a record holds one array;
//   - access: read-write rw, read-only ro, write-only wo, read-writeOnce rw
//     and writeOnce wo (a warning: only the first write takes effect);
//     readAction clear rclr; modifiedWriteValue oneToClear w1c, oneToSet w1s,
//     zeroToClear w0c. Values whose effect a read-modify-write would trigger
//     (oneToToggle, zeroToSet, zeroToToggle, clear, set, modify) and read
//     actions other than clear are refused by name;
//   - a field's reset is its reset value masked with its reset mask (no
//     reset when the mask is 0); the reset without a resetTypeRef wins.
//
// Safety: the XML is parsed without network access, without loading or
// validating a DTD and without expanding entities; a document that declares
// entities is refused. Every problem is reported with the file and line.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "map/diagnostic.hpp"

namespace chip::map {

struct IpxactOptions {
  // The memory map to import; empty: the only one that has address blocks.
  std::string memory_map;
};

struct Imported {
  nlohmann::json doc;   // the map; null when an error stopped the import
  SourceLines lines;    // JSON pointer of each map object -> its XML line
  Diagnostics findings; // errors (the map is not usable) and warnings
};

struct XmlLibrary;  // xml_library.hpp

// Imports `xml`, the text of the file named `file` (used in findings only).
// Never throws for any input; every refusal is an error finding naming the
// construct and its line. The document is produced only when no error was
// found. libxml2 is loaded on the first call (xml_library()); when it cannot
// be, the result is one error finding without a line that names it and
// what the dynamic loader said.
Imported import_ipxact(std::string_view xml, const std::string &file,
                       const IpxactOptions &options = {});

// The same through `library` (what load_xml_library() gave), whether or not
// it loaded.
Imported import_ipxact(std::string_view xml, const std::string &file, const IpxactOptions &options,
                       const XmlLibrary &library);

}  // namespace chip::map
