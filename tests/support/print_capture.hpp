// Captures what the library hands to its print function.
#pragma once

#include <chip_util/log.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

namespace chip_test {

// Appends `format` and `args` formatted as vprintf would, up to 1023
// characters (the library hands over 512 at most), to `lines`; returns the
// length of the text.
inline int append(std::vector<std::string> &lines, const char *format, va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  lines.emplace_back(text);
  return static_cast<int>(lines.back().size());
}

// Registers a capturing print function for the lifetime of the object and
// restores the previous one afterwards. Each call of the print function is
// kept as one entry, formatted as printf would format it. The print
// function may be called from any thread; read the entries once the
// printing threads are done.
class PrintCapture {
 public:
  PrintCapture() : previous_(g_hdk_printf_func) {
    clear();
    hdk_printf_func_register(&capture);
  }
  ~PrintCapture() { hdk_printf_func_register(previous_); }

  const std::vector<std::string> &calls() const { return calls_; }
  // All calls joined, in order.
  std::string text() const { return std::accumulate(calls_.begin(), calls_.end(), std::string()); }
  // The format strings the print function received, in order.
  const std::vector<std::string> &formats() const { return formats_; }
  void clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    formats_.clear();
  }

 private:
  __attribute__((format(printf, 1, 2))) static int capture(const char *format, ...) {
    const std::lock_guard<std::mutex> lock(mutex_);
    formats_.emplace_back(format);
    va_list args;
    va_start(args, format);
    const int length = append(calls_, format, args);
    va_end(args);
    return length;
  }

  static inline std::mutex mutex_;
  static inline std::vector<std::string> calls_, formats_;
  hdk_printf_func previous_;
};

// An output function for hdk_log_to_file that appends each text, formatted
// as fprintf would, to the std::vector<std::string> passed as its context.
// The library never looks at the context, so each caller (or thread) can
// collect into a vector of its own.
__attribute__((format(printf, 2, 3))) inline int collect_output(FILE *context, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const int length = append(*reinterpret_cast<std::vector<std::string> *>(context), format, args);
  va_end(args);
  return length;
}

}  // namespace chip_test
