// SPDX-License-Identifier: Apache-2.0
// libxml2, opened when the first XML file is read rather than linked.
//
// Debian's libxml2 pulls in ICU (with its 30 MB data library), liblzma and
// zlib: linked, they cost every start of chiputil about 5 ms, although only
// the IP-XACT importer needs them. The importer calls libxml2 through the
// record below instead. Types, struct layouts and constants still come
// from the libxml2 headers, so the signatures are checked at compile time
// against the version built with.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>

namespace chip::map {

// The functions of libxml2 the importer calls, each resolved by its name.
struct XmlFunctions {
  decltype(&::xmlInitParser) init_parser;
  decltype(&::xmlNewParserCtxt) new_parser_ctxt;
  decltype(&::xmlCtxtReadMemory) ctxt_read_memory;
  decltype(&::xmlStopParser) stop_parser;
  decltype(&::xmlFreeParserCtxt) free_parser_ctxt;
  decltype(&::xmlDocGetRootElement) doc_get_root_element;
  decltype(&::xmlFreeDoc) free_doc;
  decltype(&::xmlGetLineNo) get_line_no;
  decltype(&::xmlGetProp) get_prop;
  decltype(&::xmlNodeGetContent) node_get_content;
  // xmlFree is a variable of libxml2 (the deallocator xmlMemSetup may
  // replace), so this is its address; call free_text() to release a string
  // libxml2 returned.
  xmlFreeFunc *free_hook;

  void free_text(xmlChar *text) const { (*free_hook)(text); }
};

// The outcome of opening libxml2: the functions, or why there are none.
struct XmlLibrary {
  bool loaded = false;
  XmlFunctions functions{};
  // When not loaded: one line naming the library and what the dynamic
  // loader said ("cannot load libxml2.so.2: ..."), for an error finding.
  std::string error;
};

// Opens the shared library `soname` (RTLD_NOW | RTLD_LOCAL) and resolves
// every function of XmlFunctions. Never throws for a missing library or
// symbol: the result says which and why. A library that lacks a function
// is closed again; a loaded one is never closed. Each call opens anew:
// the importer goes through xml_library(), which opens it once.
XmlLibrary load_xml_library(const char *soname);

// The libxml2 this build was compiled against (CHIP_UTIL_LIBXML2_SONAME),
// opened on the first call, thread-safely, and the same result on every
// later call, whether it loaded or not.
const XmlLibrary &xml_library();

}  // namespace chip::map
