// SPDX-License-Identifier: Apache-2.0
// Counted heap blocks: a tagged header in front of every block and a table
// of per-module counters.
#include <chip_util/bounds.h>
#include <chip_util/log.h>
#include <chip_util/osal.h>

#include <atomic>
#include <cstring>

#include "block_header.hpp"
#include "live_blocks.hpp"

osal_malloc_counters g_osal_malloc_data[OSAL_MODULE_COUNT] = {};
osal_hook_funcs g_osal_hook_funcs = {nullptr, nullptr};

namespace {

// The counters are diagnostic and unlocked: each update is a relaxed load
// and store, so concurrent updates may be lost (as with a plain word) but
// never race, and no bus-locked instruction lands on the allocation path.
void counter_add(uint32_t &counter, uint32_t amount) {
  std::atomic_ref<uint32_t> word(counter);
  word.store(word.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}

void counter_sub(uint32_t &counter, uint32_t amount) {
  std::atomic_ref<uint32_t> word(counter);
  word.store(word.load(std::memory_order_relaxed) - amount, std::memory_order_relaxed);
}

uint32_t counter_read(uint32_t &counter) {
  return std::atomic_ref<uint32_t>(counter).load(std::memory_order_relaxed);
}

unsigned char *header_of(void *area) {
  return static_cast<unsigned char *>(area) - sizeof(osal::BlockHeader);
}

}  // namespace

extern "C" void osal_memory_handle_init(void) {}

extern "C" void osal_register_malloc(osal_malloc_hook hook) {
  g_osal_hook_funcs.malloc_hook = hook;
}

extern "C" void osal_register_free(osal_free_hook hook) { g_osal_hook_funcs.free_hook = hook; }

extern "C" void *osal_malloc_sdk(uint32_t module, uint32_t size) {
  if (size == 0 || !osal::module_in_table(module) || !osal::size_fits_header(size)) {
    return nullptr;
  }
  auto *block = static_cast<unsigned char *>(hdk_malloc(size + OSAL_BLOCK_HEADER_SIZE));
  if (block == nullptr) {
    return nullptr;
  }
  unsigned char *area = block + OSAL_BLOCK_HEADER_SIZE;
  {
    osal::LiveShardGuard live(area);
    if (!osal::address_set_insert(live.areas(), reinterpret_cast<uintptr_t>(area))) {
      hdk_free(block);
      return nullptr;
    }
  }
  osal_malloc_counters &entry = g_osal_malloc_data[module];
  counter_add(entry.malloc_size, size);
  counter_add(entry.malloc_count, 1);
  const osal::BlockHeader header{OSAL_BLOCK_TAG(module), size};
  std::memcpy(block, &header, sizeof header);
  return area;
}

extern "C" void *osal_malloc_zero_sdk(uint32_t module, uint32_t size) {
  void *area = osal_malloc_sdk(module, size);
  if (area != nullptr) {
    (void)memset_s(area, size, 0, size);
  }
  return area;
}

namespace osal {

Release settle_release(unsigned char *header_bytes, uint32_t module, osal_malloc_counters &entry) {
  BlockHeader header;
  std::memcpy(&header, header_bytes, sizeof header);
  const Release verdict = classify_release(header, module, counter_read(entry.malloc_size));
  if (verdict == Release::kVerified) {
    counter_sub(entry.malloc_size, header.size);
    counter_add(entry.free_count, 1);
    std::memset(header_bytes, 0, sizeof header);
  } else {
    counter_add(entry.free_error_count, 1);
  }
  return verdict;
}

}  // namespace osal

extern "C" void osal_free_sdk(uint32_t module, void *area) {
  if (area == nullptr || !osal::module_in_table(module)) {
    return;
  }
  osal_malloc_counters &entry = g_osal_malloc_data[module];
  unsigned char *block = header_of(area);
  osal::Release verdict = osal::Release::kRefusedKeep;
  {
    // Checked and settled under the shard's lock, so that two releases of
    // one block cannot both pass; the header is read only once the block
    // is known to be live.
    osal::LiveShardGuard live(area);
    const auto address = reinterpret_cast<uintptr_t>(area);
    if (!osal::address_set_contains(live.areas(), address)) {
      counter_add(entry.free_error_count, 1);
      return;
    }
    verdict = osal::settle_release(block, module, entry);
    if (verdict != osal::Release::kRefusedKeep) {
      (void)osal::address_set_erase(live.areas(), address);
    }
  }
  if (verdict != osal::Release::kRefusedKeep) {
    hdk_free(block);
  }
}
