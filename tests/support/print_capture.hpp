// Captures what the library hands to its print function.
#pragma once

#include <chip_util/log.h>

#include <cstdio>
#include <string>
#include <vector>

namespace chip_test {

// Registers a capturing print function for the lifetime of the object and
// restores the previous one afterwards. Each call of the print function is
// kept as one entry, formatted as printf would format it.
class PrintCapture {
 public:
  PrintCapture();
  ~PrintCapture();
  PrintCapture(const PrintCapture &) = delete;
  PrintCapture &operator=(const PrintCapture &) = delete;

  const std::vector<std::string> &calls() const;
  // All calls joined, in order.
  std::string text() const;
  // The format strings the print function received, in order.
  const std::vector<std::string> &formats() const;
  void clear();

 private:
  hdk_printf_func previous_;
};

// An output function for hdk_log_to_file that appends each text, formatted
// as fprintf would, to the std::vector<std::string> passed as its context.
// The library never looks at the context, so each caller (or thread) can
// collect into a vector of its own.
int collect_output(FILE *context, const char *format, ...);

}  // namespace chip_test
