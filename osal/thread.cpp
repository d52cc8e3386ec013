// SPDX-License-Identifier: Apache-2.0
// Threads started with one argument through a start record that the new
// thread releases itself.
#include <chip_util/osal.h>

#include <pthread.h>

#include <bit>
#include <cerrno>

#include "platform_seam.hpp"

namespace {

constexpr uint32_t kOwnModule = 0;

static_assert(sizeof(pthread_t) == sizeof(osal_thread_id));

osal_thread_id id_of(pthread_t thread) { return std::bit_cast<osal_thread_id>(thread); }
pthread_t thread_of(osal_thread_id id) { return std::bit_cast<pthread_t>(id); }

// 0 is osal_thread_create's "no thread". The platform may take it for a
// thread descriptor and read through it, so it is answered here as a
// thread that does not exist.
constexpr osal_thread_id kNoThread = 0;

}  // namespace

extern "C" void *osal_th_start_routine(void *start_info) {
  auto *info = static_cast<osal_thread_start_info *>(start_info);
  if (info == nullptr) {
    return nullptr;
  }
  if (info->entry != nullptr) {
    (void)info->entry(info->arg);
  }
  osal_free_sdk(kOwnModule, info);
  return nullptr;
}

extern "C" osal_thread_id osal_thread_create(uint32_t /*reserved0*/, uint32_t /*reserved1*/,
                                             uint32_t /*reserved2*/, osal_thread_entry entry,
                                             void *arg) {
  auto *info = static_cast<osal_thread_start_info *>(
      osal_malloc_sdk(kOwnModule, sizeof(osal_thread_start_info)));
  if (info == nullptr) {
    return 0;
  }
  info->entry = entry;
  info->arg = arg;
  pthread_t thread{};
  if (osal::seam::pthread_create_call(&thread, nullptr, &osal_th_start_routine, info) != 0) {
    osal_free_sdk(kOwnModule, info);
    return 0;
  }
  return id_of(thread);
}

extern "C" int32_t osal_thread_destroy(osal_thread_id thread) {
  return thread == kNoThread ? ESRCH : pthread_cancel(thread_of(thread));
}

extern "C" osal_thread_id osal_thread_self(void) { return id_of(pthread_self()); }

extern "C" const char *osal_thread_name(void) { return " "; }

extern "C" int32_t osal_thread_detach(osal_thread_id thread) {
  return thread == kNoThread ? ESRCH : pthread_detach(thread_of(thread));
}
