// SPDX-License-Identifier: Apache-2.0
// Log output: hdk_debug, hdk_log_to_file and the two registration slots.
#include <chip_util/bounds.h>
#include <chip_util/log.h>

#include <cstdarg>
#include <cstdio>

namespace {

// hdk_debug prints at most 512 characters; hdk_log_to_file 511 with its prefix.
constexpr uint32_t kDebugBufferBytes = 513;
constexpr uint32_t kFileBufferBytes = 512;

}  // namespace

// Constant-initialised: the loader fills in printf's address, no
// constructor runs.
extern "C" {
CHIP_UTIL_API hdk_printf_func g_hdk_printf_func = &std::printf;
CHIP_UTIL_API hdk_private_log_func g_hdk_private_log_func = nullptr;
}

extern "C" int32_t hdk_log_level_check(uint32_t /*dev*/, uint32_t level) {
  return static_cast<int32_t>(level & 3u);
}

extern "C" int32_t hdk_printf_func_register(hdk_printf_func print) {
  g_hdk_printf_func = print;
  return 0;
}

extern "C" void hdk_private_log_func_register(hdk_private_log_func func) {
  g_hdk_private_log_func = func;
}

extern "C" void hdk_debug(uint32_t dev, uint32_t level, const char *format, ...) {
  if (hdk_log_level_check(dev, level) == 0) {
    return;
  }
  auto *text = static_cast<char *>(hdk_malloc_zero(kDebugBufferBytes));
  if (text == nullptr) {
    return;
  }
  va_list args;
  va_start(args, format);
  const int length = vsnprintf_s(text, kDebugBufferBytes, kDebugBufferBytes - 1, format, args);
  va_end(args);
  if (length != -1) {
    text[kDebugBufferBytes - 1] = '\0';
    const hdk_printf_func print = g_hdk_printf_func;
    if (print != nullptr) {
      print("%s", text);
    }
  }
  hdk_free(text);
}

extern "C" void hdk_log_to_file(uint32_t dev, FILE *context, hdk_log_output_func output,
                                const char *name, const char *format, ...) {
  if (output == nullptr) {
    return;
  }
  auto *text = static_cast<char *>(hdk_malloc_zero(kFileBufferBytes));
  if (text == nullptr) {
    return;
  }
  const auto prefix = static_cast<uint32_t>(
      sprintf_s(text, kFileBufferBytes, "[%s dev=%u] ", name != nullptr ? name : "(null)", dev));
  if (prefix <= kFileBufferBytes - 1) {
    va_list args;
    va_start(args, format);
    const int length = vsnprintf_s(text + prefix, kFileBufferBytes - prefix,
                                   kFileBufferBytes - 1 - prefix, format, args);
    va_end(args);
    if (length != -1) {
      text[kFileBufferBytes - 1] = '\0';
      output(context, "%s", text);
    }
  }
  hdk_free(text);
}
