#include "support/print_capture.hpp"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace chip_test {
namespace {

std::mutex g_mutex;
std::vector<std::string> g_calls;
std::vector<std::string> g_formats;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int capture(const char *format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.push_back(text);
  g_formats.emplace_back(format);
  return length;
}
#pragma GCC diagnostic pop

}  // namespace

PrintCapture::PrintCapture() : previous_(g_hdk_printf_func) {
  clear();
  hdk_printf_func_register(&capture);
}

PrintCapture::~PrintCapture() { hdk_printf_func_register(previous_); }

const std::vector<std::string> &PrintCapture::calls() const { return g_calls; }

const std::vector<std::string> &PrintCapture::formats() const { return g_formats; }

std::string PrintCapture::text() const {
  std::string all;
  for (const auto &call : g_calls) {
    all += call;
  }
  return all;
}

void PrintCapture::clear() {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.clear();
  g_formats.clear();
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
int collect_output(FILE *context, const char *format, ...) {
  auto *lines = reinterpret_cast<std::vector<std::string> *>(context);
  char text[600];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  lines->emplace_back(text);
  return length;
}
#pragma GCC diagnostic pop

}  // namespace chip_test
