// SPDX-License-Identifier: Apache-2.0
// Named semaphores shared by name between processes, with a timed take.
#include <chip_util/osal.h>

#include <fcntl.h>
#include <semaphore.h>

#include <cerrno>

namespace {

constexpr uint32_t kNoTimeLimit = UINT32_MAX;
constexpr mode_t kSemaphoreMode = 0644;

int32_t take_without_limit(sem_t *sem) {
  int result;
  do {
    result = sem_wait(sem);
  } while (result == -1 && errno == EINTR);
  return result;
}

// Polls without pausing: the wait is meant for short hand-overs, and any
// sleep would add its own latency to every take.
int32_t take_polling(sem_t *sem, uint32_t timeout_us) {
  const uint64_t start = hdk_time_usecs();
  for (;;) {
    const int result = sem_trywait(sem);
    if (result == 0) {
      return 0;
    }
    if (hdk_time_usecs() - start >= timeout_us) {
      return result;
    }
  }
}

}  // namespace

extern "C" sem_t *hdk_sem_create(const char *name, uint32_t /*reserved*/, uint32_t value) {
  if (name == nullptr) {
    return nullptr;
  }
  return sem_open(name, O_CREAT, kSemaphoreMode, value);
}

extern "C" void hdk_sem_destroy(hdk_named_sem *record) {
  if (record == nullptr) {
    return;
  }
  // A record whose create failed holds no handle (SEM_FAILED is null here):
  // there is nothing to close, but the name is still unlinked.
  if (record->sem != nullptr && record->sem != SEM_FAILED) {
    (void)sem_close(record->sem);
  }
  (void)sem_unlink(record->name);
}

extern "C" int32_t hdk_sem_take(sem_t *sem) { return sem == nullptr ? -1 : sem_wait(sem); }

extern "C" int32_t hdk_sem_take_timeout(sem_t *sem, uint32_t timeout_us) {
  if (sem == nullptr) {
    return -1;
  }
  return timeout_us == kNoTimeLimit ? take_without_limit(sem) : take_polling(sem, timeout_us);
}

extern "C" int32_t hdk_sem_give(sem_t *sem) { return sem == nullptr ? -1 : sem_post(sem); }
