// SPDX-License-Identifier: Apache-2.0
// The stack-trace probe: tells whether a symbolic trace can be produced.
#include <chip_util/osal.h>

#include <execinfo.h>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr uint32_t kMaxFrames = 10;
}

extern "C" int32_t osal_stack_trace(uint32_t frames) {
  void *addresses[kMaxFrames] = {};
  const int captured = backtrace(addresses, static_cast<int>(std::min(frames, kMaxFrames)));
  char **symbols = backtrace_symbols(addresses, captured);
  if (symbols == nullptr) {
    return -1;
  }
  std::free(symbols);
  return 0;
}
