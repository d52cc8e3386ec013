// SPDX-License-Identifier: Apache-2.0
// The registry of live counted blocks: sharded address sets, each under a
// short lock of its own.
#include "live_blocks.hpp"

#include <cstdlib>

namespace osal {

namespace {

constexpr uint32_t kFirstCapacity = 16;
constexpr unsigned kShardBits = 6;

// Block addresses share their low bits (alignment) and, for blocks the heap
// maps one by one, long runs of high bits: mix them all before use.
constexpr uint64_t mix(uintptr_t address) {
  uint64_t x = address;
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9u;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

uint32_t home(const AddressSet &set, uintptr_t address) {
  return static_cast<uint32_t>(mix(address)) & (set.capacity - 1u);
}

uint32_t find(const AddressSet &set, uintptr_t address) {
  uint32_t i = home(set, address);
  while (set.slots[i] != 0 && set.slots[i] != address) i = (i + 1u) & (set.capacity - 1u);
  return i;
}

// Twice the room, or the first table; the old table goes back to the heap.
bool grow(AddressSet &set) {
  const uint32_t capacity = set.capacity == 0 ? kFirstCapacity : set.capacity * 2u;
  auto *slots = static_cast<uintptr_t *>(std::calloc(capacity, sizeof(uintptr_t)));
  if (slots == nullptr) {
    return false;
  }
  AddressSet bigger{slots, capacity, set.count};
  for (uint32_t i = 0; i < set.capacity; ++i) {
    if (set.slots[i] != 0) bigger.slots[find(bigger, set.slots[i])] = set.slots[i];
  }
  std::free(set.slots);
  set = bigger;
  return true;
}

LiveShard g_shards[1u << kShardBits];

LiveShard &shard_of(const void *area) {
  return g_shards[mix(reinterpret_cast<uintptr_t>(area)) >> (64u - kShardBits)];
}

void lock_all() {
  for (LiveShard &shard : g_shards) (void)pthread_mutex_lock(&shard.lock);
}

void unlock_all() {
  for (LiveShard &shard : g_shards) (void)pthread_mutex_unlock(&shard.lock);
}

void install_fork_handlers() {
  static const int installed = pthread_atfork(lock_all, unlock_all, unlock_all);
  (void)installed;
}

}  // namespace

bool address_set_insert(AddressSet &set, uintptr_t address) {
  // At most half full, so that every probe meets an empty slot soon.
  if (2u * (set.count + 1u) > set.capacity && !grow(set)) {
    return false;
  }
  const uint32_t i = find(set, address);
  if (set.slots[i] == 0) {
    set.slots[i] = address;
    ++set.count;
  }
  return true;
}

bool address_set_contains(const AddressSet &set, uintptr_t address) {
  return set.capacity != 0 && set.slots[find(set, address)] == address;
}

bool address_set_erase(AddressSet &set, uintptr_t address) {
  if (!address_set_contains(set, address)) {
    return false;
  }
  const uint32_t mask = set.capacity - 1u;
  uint32_t hole = find(set, address);
  // Pull back each later entry of the run whose home is not between the
  // hole and itself, so that no probe for it crosses an empty slot.
  for (uint32_t j = (hole + 1u) & mask; set.slots[j] != 0; j = (j + 1u) & mask) {
    const uint32_t distance_home = (j - home(set, set.slots[j])) & mask;
    const uint32_t distance_hole = (j - hole) & mask;
    if (distance_home >= distance_hole) {
      set.slots[hole] = set.slots[j];
      hole = j;
    }
  }
  set.slots[hole] = 0;
  --set.count;
  return true;
}

LiveShardGuard::LiveShardGuard(const void *area) : shard_(shard_of(area)) {
  install_fork_handlers();
  (void)pthread_mutex_lock(&shard_.lock);
}

LiveShardGuard::~LiveShardGuard() { (void)pthread_mutex_unlock(&shard_.lock); }

}  // namespace osal
