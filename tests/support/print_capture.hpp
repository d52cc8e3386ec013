// SPDX-License-Identifier: Apache-2.0
// Captures what the library hands to its print function.
#pragma once

#include <chip_util/log.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace chip_test {

// Registers a capturing print function for the lifetime of the object and
// restores the previous one afterwards. Each call of the print function is
// kept as one entry, formatted as printf would format it, up to 1023
// characters (the library hands over 512 at most). The print function may
// be called from any thread; read the entries once the printing threads are
// done.
class PrintCapture {
 public:
  PrintCapture() : previous_(g_hdk_printf_func) {
    const std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    hdk_printf_func_register(&capture);
  }
  ~PrintCapture() { hdk_printf_func_register(previous_); }

  const std::vector<std::string> &calls() const { return calls_; }

 private:
  __attribute__((format(printf, 1, 2))) static int capture(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(calls_.emplace_back(text).size());
  }

  static inline std::mutex mutex_;
  static inline std::vector<std::string> calls_;
  hdk_printf_func previous_;
};

}  // namespace chip_test
