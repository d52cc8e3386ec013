// SPDX-License-Identifier: Apache-2.0
// Which counted blocks are live, kept apart from the blocks themselves: a
// release must know whether its pointer is a live block before it reads
// the header, since the heap may already have handed a released block's
// pages back to the system (large blocks are unmapped at once).
#pragma once

#include <pthread.h>

#include <cstdint>

namespace osal {

// A set of addresses: open addressing with linear probing, deletion by
// backward shift (no tombstones, so probes stay short however long the
// process runs). Not synchronised; the capacity is 0 or a power of two.
struct AddressSet {
  uintptr_t *slots = nullptr;
  uint32_t capacity = 0;
  uint32_t count = 0;
};

// Adds `address` (never 0): false, leaving the set as it was, when the set
// must grow and the heap has no room.
bool address_set_insert(AddressSet &set, uintptr_t address);
// Removes `address`: true when it was there.
bool address_set_erase(AddressSet &set, uintptr_t address);
bool address_set_contains(const AddressSet &set, uintptr_t address);

// The live blocks in shards by address, so that threads releasing
// different blocks rarely meet (a cache line each, so that they do not
// share one either); each shard is held only for a probe.
struct alignas(64) LiveShard {
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  AddressSet areas;
};

// The shard of `area`, locked for as long as the guard lives. The first use
// installs fork handlers, so that a child forked while another thread holds
// a shard does not inherit it locked.
class LiveShardGuard {
 public:
  explicit LiveShardGuard(const void *area);
  ~LiveShardGuard();
  LiveShardGuard(const LiveShardGuard &) = delete;
  LiveShardGuard &operator=(const LiveShardGuard &) = delete;

  AddressSet &areas() { return shard_.areas; }

 private:
  LiveShard &shard_;
};

}  // namespace osal
