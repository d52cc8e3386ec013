// SPDX-License-Identifier: Apache-2.0
// The header in front of every counted block and the rules that decide
// whether a release can be trusted.
#pragma once

#include <chip_util/osal.h>

#include <cstdint>

namespace osal {

struct BlockHeader {
  uint32_t tag;
  uint32_t size;
};
static_assert(sizeof(BlockHeader) == OSAL_BLOCK_HEADER_SIZE);

constexpr uint32_t kTagMagicMask = 0xFFFFFFu;

constexpr bool module_in_table(uint32_t module) { return module < OSAL_MODULE_COUNT; }

// A request whose header would push the underlying size past 32 bits.
constexpr bool size_fits_header(uint32_t size) {
  return size <= UINT32_MAX - OSAL_BLOCK_HEADER_SIZE;
}

constexpr bool tag_intact(uint32_t tag) { return (tag & kTagMagicMask) == OSAL_BLOCK_TAG_MAGIC; }

constexpr bool tag_names_module(uint32_t tag, uint32_t module) { return (tag >> 24) == module; }

enum class Release {
  kVerified,     // counted as a release, header cleared, block freed
  kRefusedFree,  // counted as an error, block freed all the same
  kRefusedKeep,  // counted as an error, memory not handed to the heap
};

// What a release of a block with `header`, asked for under `module` whose
// malloc_size counter is `held`, turns into.
constexpr Release classify_release(BlockHeader header, uint32_t module, uint32_t held) {
  if (!tag_intact(header.tag)) {
    return Release::kRefusedKeep;
  }
  if (tag_names_module(header.tag, module) && held >= header.size) {
    return Release::kVerified;
  }
  return Release::kRefusedFree;
}

// Checks the header at `header_bytes` for a release under `module` and
// settles the counters of `entry` (the caller's module): a verified release
// takes the size off and clears both header words; a refused one counts an
// error and leaves the header alone. The caller frees the block unless the
// answer is kRefusedKeep.
Release settle_release(unsigned char *header_bytes, uint32_t module, osal_malloc_counters &entry);

}  // namespace osal
