// SPDX-License-Identifier: Apache-2.0
// Plain heap wrappers.
#include <chip_util/bounds.h>
#include <chip_util/log.h>

#include <cstdlib>

extern "C" void *hdk_malloc(uint32_t size) {
  return size == 0 ? nullptr : std::malloc(size);
}

extern "C" void hdk_free(void *block) {
  if (block != nullptr) {
    std::free(block);
  }
}

extern "C" void *hdk_malloc_zero(uint32_t size) {
  void *block = hdk_malloc(size);
  if (block != nullptr) {
    (void)memset_s(block, size, 0, size);
  }
  return block;
}
