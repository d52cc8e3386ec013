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

// `format` and `args` formatted as vprintf would, up to 1023 characters:
// the library hands over 512 at most.
__attribute__((format(printf, 1, 0))) inline std::string formatted(const char *format,
                                                                   va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
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
    va_list args;
    va_start(args, format);
    std::string text = formatted(format, args);
    va_end(args);
    const std::lock_guard<std::mutex> lock(mutex_);
    formats_.emplace_back(format);
    calls_.push_back(std::move(text));
    return static_cast<int>(calls_.back().size());
  }

  static inline std::mutex mutex_;
  static inline std::vector<std::string> calls_, formats_;
  hdk_printf_func previous_;
};

// An output function for hdk_log_to_file that appends each text, formatted
// as fprintf would, to the std::vector<std::string> passed as its context.
// The library never looks at the context, so each caller (or thread) can
// collect into a vector of its own.
__attribute__((format(printf, 2, 3))) inline int collect_output(FILE *context, const char *format,
                                                                ...) {
  auto *lines = reinterpret_cast<std::vector<std::string> *>(context);
  va_list args;
  va_start(args, format);
  lines->push_back(formatted(format, args));
  va_end(args);
  return static_cast<int>(lines->back().size());
}

}  // namespace chip_test
