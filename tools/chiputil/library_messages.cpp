// SPDX-License-Identifier: Apache-2.0
#include "library_messages.hpp"

#include <chip_util/log.h>

#include <cstdarg>
#include <cstdio>

namespace chiputil {
namespace {

std::vector<std::string> g_lines;

__attribute__((format(printf, 1, 2))) int catch_line(const char *format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::string line = text;
  while (!line.empty() && (line.front() == '\r' || line.front() == '\n')) {
    line.erase(line.begin());
  }
  g_lines.push_back(line);
  return 0;
}

}  // namespace

LibraryMessages::LibraryMessages() : previous_(g_hdk_printf_func) {
  g_lines.clear();
  hdk_printf_func_register(catch_line);
}

LibraryMessages::~LibraryMessages() {
  hdk_printf_func_register(previous_);
}

const std::vector<std::string> &LibraryMessages::lines() const { return g_lines; }

std::string LibraryMessages::last_or(const std::string &otherwise) const {
  return g_lines.empty() ? otherwise : g_lines.back();
}

}  // namespace chiputil
