// SPDX-License-Identifier: Apache-2.0
// The IP-XACT importer on components written here: one table of inputs that
// must be refused, each with its exact finding; the access mapping as a
// table; register files, arrays, unrolling, block types and source lines
// checked on the document produced.
#include <gtest/gtest.h>

#include <algorithm>

#include "map/ipxact_import.hpp"

namespace {

using chip::map::Imported;
using chip::map::import_ipxact;
using nlohmann::json;

std::string el(std::string_view name, std::string_view content) {
  return "<ipxact:" + std::string(name) + ">" + std::string(content) + "</ipxact:" +
         std::string(name) + ">";
}
std::string field(std::string_view name, int lsb, int bits, std::string_view more = "") {
  return el("field", el("name", name) + el("bitOffset", std::to_string(lsb)) +
                         el("bitWidth", std::to_string(bits)) + std::string(more));
}
std::string reg(std::string_view name, std::string_view offset, std::string_view more,
                std::string_view size = "32") {
  return el("register", el("name", name) + el("addressOffset", offset) + el("size", size) +
                            std::string(more));
}
std::string block(std::string_view name, std::string_view base, std::string_view body,
                  std::string_view type = "") {
  return el("addressBlock", el("name", name) +
                                (type.empty() ? std::string() : el("typeIdentifier", type)) +
                                el("baseAddress", base) + el("range", "'h1000") +
                                el("width", "32") + std::string(body));
}

constexpr std::string_view kNs2014 = "http://www.accellera.org/XMLSchema/IPXACT/1685-2014";
constexpr std::string_view kNs2022 = "http://www.accellera.org/XMLSchema/IPXACT/1685-2022";

// A component whose memory map's contents all stand on line 5.
std::string component(std::string_view map_body, std::string_view ns = kNs2014,
                      std::string_view component_extra = "") {
  return "<?xml version=\"1.0\"?>\n<ipxact:component xmlns:ipxact=\"" + std::string(ns) +
         "\">\n" + el("name", "lc7") + std::string(component_extra) +
         "\n<ipxact:memoryMaps><ipxact:memoryMap>" + el("name", "mmio") + "\n" +
         std::string(map_body) + "\n</ipxact:memoryMap></ipxact:memoryMaps>\n</ipxact:component>\n";
}
std::string one_block(std::string_view body, std::string_view ns = kNs2014) {
  return component(block("B0", "'h1000", body), ns);
}

// "line: path: message" of every finding, errors and warnings alike.
std::string findings(const Imported &imported) {
  std::string out;
  for (const auto &finding : imported.findings) {
    EXPECT_EQ(finding.file, "t.xml");
    out += std::to_string(finding.line) + ": " +
           (finding.severity == chip::map::Severity::error ? "error: " : "warning: ") +
           finding.path + ": " + finding.message + "\n";
  }
  return out;
}

constexpr std::string_view kB0 = "memory map mmio / address block B0";

struct Bad {
  const char *what;
  std::string xml;
  std::string expected;  // the findings, as findings() writes them
};

TEST(IpxactImport, RefusedInputsNameTheConstructAndLine) {
  const std::string at5 = "5: error: " + std::string(kB0);
  const std::string r = at5 + " / register R";
  const std::string rf = r + " / field F";
  const Bad cases[] = {
      {"oneToToggle", one_block(reg("R", "0", field("F", 0, 1, el("modifiedWriteValue", "oneToToggle")))),
       rf + ": modifiedWriteValue 'oneToToggle' is not supported: a read-modify-write of its register would change it\n"},
      {"modify", one_block(reg("R", "0", field("F", 0, 1, el("modifiedWriteValue", "modify")))),
       rf + ": modifiedWriteValue 'modify' is not supported: a read-modify-write of its register would change it\n"},
      {"readAction set", one_block(reg("R", "0", field("F", 0, 1, el("readAction", "set")))),
       rf + ": readAction 'set' is not supported: a read changes the field\n"},
      {"clear and w1c", one_block(reg("R", "0", field("F", 0, 1, el("modifiedWriteValue", "oneToClear") + el("readAction", "clear")))),
       rf + ": readAction clear together with modifiedWriteValue oneToClear cannot be expressed\n"},
      {"clear on write-only", one_block(reg("R", "0", field("F", 0, 1, el("access", "write-only") + el("readAction", "clear")))),
       rf + ": readAction clear together with access write-only cannot be expressed\n"},
      {"w0c write-only", one_block(reg("R", "0", el("access", "write-only") + field("F", 0, 1, el("modifiedWriteValue", "zeroToClear")))),
       rf + ": modifiedWriteValue zeroToClear on a write-only field cannot be expressed\n"},
      {"w1c read-only", one_block(reg("R", "0", field("F", 0, 1, el("access", "read-only") + el("modifiedWriteValue", "oneToClear")))),
       rf + ": modifiedWriteValue oneToClear on a read-only field\n"},
      {"unknown access", one_block(reg("R", "0", el("access", "read-sometimes") + field("F", 0, 1))),
       r + ": access 'read-sometimes' is not supported\n"},
      {"size in bits", one_block(reg("R", "0", field("F", 0, 1), "12")),
       r + ": size 12 is not a whole number of bytes from 1 to 1023\n"},
      {"function", one_block(reg("R", "$sqrt(16)", field("F", 0, 1))),
       r + ": addressOffset '$sqrt(16)': function $sqrt is not supported\n"},
      {"x digits", one_block(reg("R", "'h1x", field("F", 0, 1))),
       r + ": addressOffset ''h1x': x/z digits in ''h1x' have no number value\n"},
      {"unknown parameter", one_block(reg("R", "0", field("F", 0, 1), "WIDTH")),
       r + ": size 'WIDTH': unknown parameter 'WIDTH'\n"},
      {"missing offset", one_block(el("register", el("name", "R") + el("size", "32") + field("F", 0, 1))),
       r + ": no addressOffset\n"},
      {"field width", one_block(reg("R", "0", el("field", el("name", "F") + el("bitOffset", "0") + el("bitWidth", "4'h1F")))),
       rf + ": bitWidth '4'h1F': literal '4'h1F' does not fit in 4 bits\n"},
      {"alternate registers", one_block(reg("R", "0", field("F", 0, 1) + el("alternateRegisters", ""))),
       r + ": alternateRegisters is not supported\n"},
      {"register definition", one_block(el("register", el("name", "R") + el("registerDefinitionRef", "d"))),
       r + ": registerDefinitionRef is not supported\n"},
      {"access modes", one_block(reg("R", "0", field("F", 0, 1, el("fieldAccessPolicies", el("fieldAccessPolicy", el("access", "read-only")) + el("fieldAccessPolicy", el("access", "read-write"))))), kNs2022),
       rf + ": 2 fieldAccessPolicy elements (access modes) are not supported\n"},
      {"unrolling", one_block(el("registerFile", el("name", "F") + el("dim", "5000") + el("addressOffset", "0") + el("range", "'h1000") + el("register", el("name", "R") + el("dim", "64") + el("addressOffset", "0") + el("size", "32") + field("F", 0, 1)))),
       at5 + " / register file F / register R: unrolling its array levels would make more than 4096 registers\n"},
      {"unrolled fields", one_block(el("registerFile", el("name", "F") + el("dim", "4096") + el("addressOffset", "0") + el("range", "'h100") + el("register", el("name", "R") + el("dim", "2") + el("addressOffset", "0") + el("size", "32") + [] { std::string all; for (int i = 0; i < 17; ++i) all += field("F" + std::to_string(i), i, 1); return all; }()))),
       at5 + " / register file F / register R: unrolling its array levels would make more than 65536 fields\n"},
      {"address unit of 12 bits", component(el("addressUnitBits", "12") + block("B0", "0", reg("R", "0", field("F", 0, 1)))),
       "5: error: memory map mmio: addressUnitBits 12 is not a whole number of bytes from 1 to 1023\n"},
      {"typeIdentifier differs", component(block("A", "0", reg("R", "0", field("F", 0, 1)), "T") + block("B", "'h100", reg("R", "4", field("F", 0, 1)), "T")),
       "5: error: address block B: typeIdentifier T is shared with address block A but the registers differ\n"},
      {"no registers", one_block(""),
       "5: warning: " + std::string(kB0) + ": holds no registers; not imported\n4: error: memory map mmio: no address block holds a register\n"},
      {"two memory maps", component(block("A", "0", reg("R", "0", field("F", 0, 1))) + "</ipxact:memoryMap><ipxact:memoryMap>" + el("name", "cfg") + block("C", "0", reg("R", "0", field("F", 0, 1)))),
       "2: error: component lc7: 2 memory maps with address blocks (mmio, cfg); an imported map has one bus: choose one\n"},
      {"bank", component(el("bank", el("name", "K"))),
       "5: error: memory map mmio: bank is not supported\n"},
      {"parameter cycle", component(block("A", "P", reg("R", "0", field("F", 0, 1))), kNs2014, el("parameters", "<ipxact:parameter parameterId=\"P\">" + el("name", "P") + el("value", "P") + "</ipxact:parameter>")),
       "5: error: memory map mmio / address block A: baseAddress 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P': parameter 'P' refers to itself or nests too deeply\n"},
      {"1685-2009", component(block("A", "0", reg("R", "0", field("F", 0, 1))), "http://www.spiritconsortium.org/XMLSchema/SPIRIT/1685-2009"),
       "2: error: : not an IP-XACT 1685-2014 or 1685-2022 component: root element component in namespace http://www.spiritconsortium.org/XMLSchema/SPIRIT/1685-2009\n"},
      {"entities", "<?xml version=\"1.0\"?>\n<!DOCTYPE c [\n<!ENTITY a \"aaaaaaaa\">\n<!ENTITY b \"&a;&a;&a;&a;\">\n]>\n<c>&b;</c>\n",
       "3: error: : the document declares entity a; entity declarations are refused (no entity is expanded)\n"},
      {"external entity", "<?xml version=\"1.0\"?>\n<!DOCTYPE c [ <!ENTITY x SYSTEM \"file:///etc/passwd\"> ]>\n<c>&x;</c>\n",
       "2: error: : the document declares entity x; entity declarations are refused (no entity is expanded)\n"},
      {"not XML", "<?xml version=\"1.0\"?>\n<a>\n<b></a>\n",
       "3: error: : XML: Opening and ending tag mismatch: b line 3 and a\n"},
      {"empty", "", "1: error: : XML: Document is empty\n"},
  };
  for (const Bad &bad : cases) {
    const Imported imported = import_ipxact(bad.xml, "t.xml");
    EXPECT_EQ(findings(imported), bad.expected) << bad.what;
    EXPECT_TRUE(imported.doc.is_null()) << bad.what;
  }
}

// IP-XACT access, modifiedWriteValue and readAction -> the map's kind.
TEST(IpxactImport, AccessMappingTable) {
  struct Row {
    const char *register_access;  // "" none
    const char *access, *write, *read;
    const char *kind;
  };
  const Row rows[] = {
      {"", "", "", "", "rw"},
      {"read-only", "", "", "", "ro"},
      {"write-only", "", "", "", "wo"},
      {"", "read-write", "", "", "rw"},
      {"", "read-only", "", "", "ro"},
      {"", "write-only", "", "", "wo"},
      {"", "read-writeOnce", "", "", "rw"},
      {"", "writeOnce", "", "", "wo"},
      {"", "read-only", "", "clear", "rclr"},
      {"", "read-write", "", "clear", "rclr"},
      {"", "", "oneToClear", "", "w1c"},
      {"read-write", "", "oneToSet", "", "w1s"},
      {"", "read-write", "zeroToClear", "", "w0c"},
      {"write-only", "", "oneToClear", "", "wo"},
      {"", "write-only", "oneToSet", "", "wo"},
  };
  for (const bool policies : {false, true}) {
    for (const Row &row : rows) {
      std::string field_access = std::string(*row.access ? el("access", row.access) : "") +
                                 (*row.write ? el("modifiedWriteValue", row.write) : "") +
                                 (*row.read ? el("readAction", row.read) : "");
      std::string register_access = *row.register_access ? el("access", row.register_access) : "";
      if (policies) {
        if (!field_access.empty())
          field_access = el("fieldAccessPolicies", el("fieldAccessPolicy", field_access));
        if (!register_access.empty())
          register_access = el("accessPolicies", el("accessPolicy", register_access));
      }
      const Imported imported = import_ipxact(
          one_block(reg("R", "0", register_access + field("F", 3, 2, field_access)),
                    policies ? kNs2022 : kNs2014),
          "t.xml");
      ASSERT_FALSE(imported.doc.is_null()) << findings(imported);
      const json &r = imported.doc["blocks"][0]["registers"][0];
      EXPECT_EQ(r["fields"][0]["access"], row.kind) << row.access << row.write << row.read;
      const bool once = std::string_view(row.access).ends_with("Once");
      EXPECT_EQ(imported.findings.size(), once ? 1u : 0u) << findings(imported);
    }
  }
}

TEST(IpxactImport, FilesArraysAndUnrolling) {
  const std::string body =
      // Q[4] of 8 units holding HEAD at 4: one array of 4, stride 8.
      el("registerFile", el("name", "Q") + el("dim", "4") + el("addressOffset", "'h10") +
                             el("range", "8") + reg("HEAD", "4", field("PTR", 0, 16), "16")) +
      // F[2] every 'h10 holding G[2] every 4: not contiguous, F unrolled.
      el("registerFile", el("name", "F") + el("dim", "2") + el("addressOffset", "'h40") +
                             el("range", "'h10") +
                             el("registerFile", el("name", "G") + el("dim", "2") +
                                                    el("addressOffset", "0") + el("range", "4") +
                                                    reg("S", "0", field("V", 0, 32)))) +
      // A 2022 2-D array with a stride folds into one array of 6.
      el("register", el("name", "M") + el("array", el("dim", "2") + el("dim", "3") + el("stride", "8")) +
                         el("addressOffset", "'h80") + el("size", "32") + field("D", 0, 32)) +
      // A field array in a register array: the register array is unrolled.
      el("register", el("name", "L") + el("array", el("dim", "2")) + el("addressOffset", "'hC0") +
                         el("size", "32") +
                         el("field", el("name", "UP") + el("array", el("dim", "8") + el("bitStride", "4")) +
                                         el("bitOffset", "1") + el("bitWidth", "1"))) +
      // Not present, and a dim of 0 meaning no array.
      el("register", el("name", "GONE") + el("isPresent", "1 == 0") + el("addressOffset", "0") + el("size", "32")) +
      el("register", el("name", "ONE") + el("dim", "0") + el("addressOffset", "'hD0") + el("size", "32") + field("X", 0, 1));
  const Imported imported = import_ipxact(one_block(body, kNs2022), "t.xml");
  ASSERT_FALSE(imported.doc.is_null()) << findings(imported);
  std::string layout;
  for (const json &r : imported.doc["blocks"][0]["registers"]) {
    layout += r["name"].get<std::string>() + "@" + r["offset"].get<std::string>();
    if (r.contains("array")) layout += "[" + r["array"]["count"].dump() + "/" + r["array"]["stride"].dump() + "]";
    for (const json &f : r["fields"]) {
      if (f.contains("array")) layout += " " + f["name"].get<std::string>() + "[" + f["array"]["count"].dump() + "/" + f["array"]["stride"].dump() + "]";
    }
    layout += "\n";
  }
  EXPECT_EQ(layout,
            "Q_HEAD@0x14[4/8]\nF_0_G_S@0x40[2/4]\nF_1_G_S@0x50[2/4]\nM@0x80[6/8]\n"
            "L_0@0xc0 UP[8/4]\nL_1@0xc4 UP[8/4]\nONE@0xd0\n");
}

TEST(IpxactImport, BlockTypesInstancesAndSourceLines) {
  const std::string ctrl = reg("CTRL", "0", field("EN", 0, 1, el("resets", el("reset", el("value", "1")))));
  const std::string other = reg("CTRL", "0", field("EN", 1, 1));
  // MAC0/MAC1 share a layout (descriptions aside); X differs; T0/T1 share a
  // typeIdentifier.
  const std::string map_body = block("MAC0", "'h1000", ctrl) + "\n" +
                               block("MAC1", "'h2000", el("description", "second") + ctrl) + "\n" +
                               block("X", "'h3000", other) + "\n" + block("T0", "'h4000", other, "tt") +
                               "\n" + block("T1", "'h5000", other, "tt");
  const Imported imported = import_ipxact(component(map_body), "t.xml");
  ASSERT_FALSE(imported.doc.is_null()) << findings(imported);
  const json &doc = imported.doc;
  EXPECT_EQ(doc["chip"], "lc7");
  EXPECT_EQ(doc["buses"], json::array({"mmio"}));
  std::string types, instances;
  for (const json &b : doc["blocks"]) types += b["name"].get<std::string>() + " ";
  for (const json &i : doc["instances"])
    instances += i["name"].get<std::string>() + ":" + i["block"].get<std::string>() + "@" +
                 i["base"].get<std::string>() + " ";
  EXPECT_EQ(types, "MAC0 X tt ");
  EXPECT_EQ(instances, "MAC0:MAC0@0x1000 MAC1:MAC0@0x2000 X:X@0x3000 T0:tt@0x4000 T1:tt@0x5000 ");
  EXPECT_EQ(doc["blocks"][0]["registers"][0]["fields"][0]["reset"], "0x1");
  const std::pair<const char *, unsigned> lines[] = {
      {"", 2}, {"/blocks/0", 5}, {"/blocks/0/registers/0", 5}, {"/blocks/0/registers/0/fields/0", 5},
      {"/blocks/1", 7}, {"/blocks/2", 8}, {"/instances/1", 6}, {"/instances/4", 9}};
  for (const auto &[pointer, line] : lines) {
    ASSERT_EQ(imported.lines.count(pointer), 1u) << pointer;
    EXPECT_EQ(imported.lines.at(pointer), line) << pointer;
  }
}

// Word addresses become byte addresses: base, offsets and strides.
TEST(IpxactImport, WordAddressesBecomeBytes) {
  const std::string body =
      reg("R", "3", field("F", 0, 1)) +
      el("register", el("name", "A") + el("dim", "16") + el("addressOffset", "'h10") + el("size", "32") +
                         el("field", el("name", "UP") + el("array", el("dim", "64")) + el("bitOffset", "0") + el("bitWidth", "1")));
  const Imported imported =
      import_ipxact(component(el("addressUnitBits", "32") + block("B0", "'h100", body), kNs2022), "t.xml");
  ASSERT_FALSE(imported.doc.is_null()) << findings(imported);
  EXPECT_EQ(findings(imported),
            "5: warning: memory map mmio: addressUnitBits 32: addresses, offsets and strides are "
            "written in bytes (one address unit is 4 bytes)\n");
  const json &regs = imported.doc["blocks"][0]["registers"];
  EXPECT_EQ(imported.doc["instances"][0]["base"], "0x400");
  EXPECT_EQ(regs[0]["offset"], "0xc");
  EXPECT_EQ(regs[1]["name"], "A_0");  // unrolled for its field array
  EXPECT_EQ(regs[1]["offset"], "0x40");
  EXPECT_EQ(regs[16]["offset"], "0x7c");
  EXPECT_EQ(regs[16]["fields"][0]["array"], json::parse(R"({"count": 64, "stride": 1})"));
  const Imported word_array = import_ipxact(
      component(el("addressUnitBits", "32") +
                    block("B0", "0", el("register", el("name", "P") + el("dim", "16") + el("addressOffset", "'h3B0") +
                                                        el("size", "32") + field("F", 0, 32)))),
      "t.xml");
  ASSERT_FALSE(word_array.doc.is_null()) << findings(word_array);
  EXPECT_EQ(word_array.doc["blocks"][0]["registers"][0]["offset"], "0xec0");
  EXPECT_EQ(word_array.doc["blocks"][0]["registers"][0]["array"], json::parse(R"({"count": 16, "stride": 4})"));
}

TEST(IpxactImport, ResetsMasksAndEnums) {
  const auto reset = [](std::string_view value, std::string_view mask, std::string_view type = "") {
    return el("resets", std::string(type.empty() ? "" : "<ipxact:reset resetTypeRef=\"soft\">" + el("value", "'hF") + "</ipxact:reset>") +
                            el("reset", el("value", value) + (mask.empty() ? "" : el("mask", mask))));
  };
  const std::string body = reg(
      "R", "0",
      field("A", 0, 8, reset("'hAB", "")) + field("B", 8, 8, reset("'hAB", "'h0F")) +
          field("C", 16, 8, reset("'hAB", "0")) + field("D", 24, 4, reset("3", "", "soft")) +
          field("E", 28, 2, el("enumeratedValues", el("enumeratedValue", el("name", "OFF") + el("value", "0")) +
                                                       el("enumeratedValue", el("name", "ON") + el("description", "on") + el("value", "2'b11")))));
  const Imported imported = import_ipxact(one_block(body), "t.xml");
  ASSERT_FALSE(imported.doc.is_null()) << findings(imported);
  const json &fields = imported.doc["blocks"][0]["registers"][0]["fields"];
  EXPECT_EQ(fields[0]["reset"], "0xab");
  EXPECT_EQ(fields[1]["reset"], "0xb");
  EXPECT_FALSE(fields[2].contains("reset"));  // mask 0: no defined reset
  EXPECT_EQ(fields[3]["reset"], "0x3");       // the untyped reset wins
  EXPECT_EQ(fields[4]["enums"], json::parse(R"([{"name":"OFF","value":"0x0"},{"name":"ON","value":"0x3","description":"on"}])"));
}

}  // namespace
