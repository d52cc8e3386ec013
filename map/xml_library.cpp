// SPDX-License-Identifier: Apache-2.0
#include "map/xml_library.hpp"

#include <dlfcn.h>

#ifndef CHIP_UTIL_LIBXML2_SONAME
#error "CHIP_UTIL_LIBXML2_SONAME (the soname of the libxml2 built against) comes from map/CMakeLists.txt"
#endif

// With per-thread allocators, xmlFree is a macro over __xmlFree() rather
// than the variable resolved below.
#ifdef LIBXML_THREAD_ALLOC_ENABLED
#error "a libxml2 built with per-thread allocators (LIBXML_THREAD_ALLOC_ENABLED) is not supported"
#endif

namespace chip::map {
namespace {

// What dlerror() says, or `fallback` when it says nothing.
std::string loader_error(const char *fallback) {
  const char *text = dlerror();
  return text != nullptr ? text : fallback;
}

// Resolves `name` into `out`; false (and `error` set) when it is missing.
template <typename Pointer>
bool resolve(void *handle, const char *soname, const char *name, Pointer &out, std::string &error) {
  dlerror();
  void *symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    error = std::string("cannot load ") + soname + ": " + loader_error("no symbol");
    return false;
  }
  out = reinterpret_cast<Pointer>(symbol);
  return true;
}

}  // namespace

XmlLibrary load_xml_library(const char *soname) {
  XmlLibrary library;
  void *handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    library.error = std::string("cannot load ") + soname + ": " + loader_error("not found");
    return library;
  }
  XmlFunctions &f = library.functions;
  std::string &error = library.error;
  library.loaded =
      resolve(handle, soname, "xmlInitParser", f.init_parser, error) &&
      resolve(handle, soname, "xmlNewParserCtxt", f.new_parser_ctxt, error) &&
      resolve(handle, soname, "xmlCtxtReadMemory", f.ctxt_read_memory, error) &&
      resolve(handle, soname, "xmlStopParser", f.stop_parser, error) &&
      resolve(handle, soname, "xmlFreeParserCtxt", f.free_parser_ctxt, error) &&
      resolve(handle, soname, "xmlDocGetRootElement", f.doc_get_root_element, error) &&
      resolve(handle, soname, "xmlFreeDoc", f.free_doc, error) &&
      resolve(handle, soname, "xmlGetLineNo", f.get_line_no, error) &&
      resolve(handle, soname, "xmlGetProp", f.get_prop, error) &&
      resolve(handle, soname, "xmlNodeGetContent", f.node_get_content, error) &&
      resolve(handle, soname, "xmlFree", f.free_hook, error);
  if (!library.loaded) {
    dlclose(handle);
    library.functions = {};
  }
  return library;
}

const XmlLibrary &xml_library() {
  // Loaded once for the process and never closed: parsed documents and
  // libxml2's global state must outlive every import.
  static const XmlLibrary library = load_xml_library(CHIP_UTIL_LIBXML2_SONAME);
  return library;
}

}  // namespace chip::map
