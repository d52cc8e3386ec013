// SPDX-License-Identifier: Apache-2.0
// String, memory and sort wrappers under osal_ names, and the
// case-insensitive comparison.
#include <chip_util/osal.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

extern "C" int32_t osal_memcmp(const void *a, const void *b, uint32_t count) {
  return std::memcmp(a, b, count);
}

extern "C" char *osal_strchr(const char *text, int32_t ch) {
  return const_cast<char *>(std::strchr(text, ch));
}

extern "C" int32_t osal_strcmp(const char *a, const char *b) { return std::strcmp(a, b); }

extern "C" uint32_t osal_strlen(const char *text) {
  return static_cast<uint32_t>(std::strlen(text));
}

extern "C" char *osal_strtok_r(char *text, const char *delimiters, char **position) {
  return strtok_r(text, delimiters, position);
}

extern "C" void osal_qsort(void *base, uint32_t count, uint32_t size,
                           int (*compare)(const void *, const void *)) {
  std::qsort(base, count, size, compare);
}

extern "C" int32_t osal_stricmp(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) {
    return -1;
  }
  // The thread's locale table, indexed by the byte read as unsigned.
  const int32_t *lower = *__ctype_tolower_loc();
  const auto *left = reinterpret_cast<const unsigned char *>(a);
  const auto *right = reinterpret_cast<const unsigned char *>(b);
  for (;; ++left, ++right) {
    const int32_t l = lower[*left];
    const int32_t r = lower[*right];
    if (l != r) {
      return l - r;
    }
    if (l == 0) {
      return 0;
    }
  }
}
