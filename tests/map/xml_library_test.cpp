// SPDX-License-Identifier: Apache-2.0
// libxml2 opened on first use: one component imported through the build's
// library, and the same file through libraries that cannot serve, each
// giving one error finding instead of a crash.
#include <gtest/gtest.h>

#include "map/ipxact_import.hpp"
#include "map/xml_library.hpp"
#include "support/tool_run.hpp"

namespace {

using chip::map::Imported;
using chip::map::import_ipxact;
using chip::map::load_xml_library;
using chip::map::XmlLibrary;

// A whole 1685-2014 component: the fuzz seed, after its mode byte.
std::string component() { return test_support::contents(IPXACT_COMPONENT_FILE).substr(1); }

TEST(XmlLibrary, BuildsLibraryImportsOnFirstUse) {
  const XmlLibrary &library = chip::map::xml_library();
  ASSERT_TRUE(library.loaded) << library.error;
  EXPECT_EQ(&chip::map::xml_library(), &library);
  const Imported imported = import_ipxact(component(), "lc7.xml", {}, library);
  EXPECT_TRUE(imported.findings.empty());
  EXPECT_EQ(imported.doc.at("chip"), "lc7");
  EXPECT_EQ(imported.doc, import_ipxact(component(), "lc7.xml").doc);
}

TEST(XmlLibrary, UnusableLibraryIsOneFinding) {
  const struct {
    const char *soname;
    std::string loader_says;  // the end of dlerror()'s text
  } cases[] = {
      {"libchip-util-absent-xml.so.0",
       "libchip-util-absent-xml.so.0: cannot open shared object file: No such file or directory"},
      {"libc.so.6", "libc.so.6: undefined symbol: xmlInitParser"},  // loads, but is not libxml2
  };
  for (const auto &c : cases) {
    const XmlLibrary library = load_xml_library(c.soname);
    EXPECT_FALSE(library.loaded) << c.soname;
    const Imported imported = import_ipxact(component(), "lc7.xml", {}, library);
    EXPECT_TRUE(imported.doc.is_null());
    ASSERT_EQ(imported.findings.size(), 1u) << c.soname;
    const chip::map::Diagnostic &finding = imported.findings[0];
    EXPECT_EQ(finding.severity, chip::map::Severity::error);
    EXPECT_EQ(finding.file, "lc7.xml");
    EXPECT_EQ(finding.line, 0u);
    EXPECT_EQ(finding.path, "");
    const std::string head = std::string("cannot load ") + c.soname + ": ";
    const std::string tail = c.loader_says + "; IP-XACT files cannot be read without it";
    EXPECT_EQ(finding.message.rfind(head, 0), 0u) << finding.message;
    ASSERT_GE(finding.message.size(), tail.size()) << finding.message;
    EXPECT_EQ(finding.message.substr(finding.message.size() - tail.size()), tail);
  }
}

}  // namespace
