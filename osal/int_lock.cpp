// SPDX-License-Identifier: Apache-2.0
// The int lock: a process-private semaphore of value 1 behind a caller's
// handle slot, plus a recursive-mutex variant. Objects are counted under
// module 0.
#include <chip_util/osal.h>

#include <pthread.h>
#include <semaphore.h>

#include <cerrno>

namespace {

constexpr uint32_t kOwnModule = 0;

sem_t *semaphore_in(void **slot) { return static_cast<sem_t *>(*slot); }

// A slot that holds no lock (never initialised, or destroyed) is refused by
// every call on it, with EINVAL as the platform gives for an invalid
// semaphore, rather than handed to the platform as a null semaphore.
bool refuse_empty(void **slot) {
  if (*slot != nullptr) {
    return false;
  }
  errno = EINVAL;
  return true;
}

void release_into_null_slot(void **slot, void *object) {
  osal_free_sdk(kOwnModule, object);
  *slot = nullptr;
}

}  // namespace

extern "C" int32_t osal_int_lock_no_mutex_init(void **slot) {
  if (slot == nullptr) {
    return -1;
  }
  void *object = osal_malloc_sdk(kOwnModule, sizeof(sem_t));
  if (object == nullptr) {
    return -1;
  }
  *slot = object;
  if (sem_init(static_cast<sem_t *>(object), 0, 1) != 0) {
    release_into_null_slot(slot, object);
    return -1;
  }
  return 0;
}

extern "C" int32_t osal_int_lock_init(void **slot) { return osal_int_lock_no_mutex_init(slot); }

extern "C" int32_t osal_int_lock_mutex_init(void **slot) {
  if (slot == nullptr) {
    return -1;
  }
  auto *mutex =
      static_cast<pthread_mutex_t *>(osal_malloc_sdk(kOwnModule, sizeof(pthread_mutex_t)));
  if (mutex == nullptr) {
    *slot = nullptr;
    return -1;
  }
  pthread_mutexattr_t attr;
  if (pthread_mutexattr_init(&attr) != 0) {
    release_into_null_slot(slot, mutex);
    return -1;
  }
  if (pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) != 0 ||
      pthread_mutex_init(mutex, &attr) != 0) {
    (void)pthread_mutexattr_destroy(&attr);
    release_into_null_slot(slot, mutex);
    return -1;
  }
  if (pthread_mutexattr_destroy(&attr) != 0) {
    release_into_null_slot(slot, mutex);
    return -1;
  }
  *slot = mutex;
  return 0;
}

extern "C" void *osal_int_lock(void **slot) {
  if (slot == nullptr || refuse_empty(slot)) {
    return nullptr;
  }
  sem_t *lock = semaphore_in(slot);
  return sem_wait(lock) == 0 ? lock : nullptr;
}

extern "C" void osal_int_unlock(void **slot) {
  if (slot != nullptr && !refuse_empty(slot)) {
    (void)sem_post(semaphore_in(slot));
  }
}

extern "C" int32_t osal_int_lock_destroy(void **slot) {
  if (slot == nullptr || refuse_empty(slot)) {
    return -1;
  }
  const int result = sem_destroy(semaphore_in(slot));
  if (result != 0) {
    return result;
  }
  release_into_null_slot(slot, *slot);
  return 0;
}
