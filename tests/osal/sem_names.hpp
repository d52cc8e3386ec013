// Named semaphores for tests: a name unique to the process and the test,
// unlinked again however the test ends.
#pragma once

#include <chip_util/osal.h>

#include <semaphore.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace osal_test {

class ScopedSemName {
 public:
  explicit ScopedSemName(const char *purpose) {
    // At most 31 characters: the purpose is cut to what fits.
    std::string name = "/chip_util_" + std::to_string(getpid()) + "_" + purpose;
    name.resize(std::min(name.size(), sizeof record_.name - 1));
    std::memcpy(record_.name, name.c_str(), name.size() + 1);
  }
  ~ScopedSemName() {
    if (record_.sem != nullptr && record_.sem != SEM_FAILED) {
      hdk_sem_destroy(&record_);
    } else {
      sem_unlink(record_.name);
    }
  }
  ScopedSemName(const ScopedSemName &) = delete;
  ScopedSemName &operator=(const ScopedSemName &) = delete;

  const char *name() const { return record_.name; }
  hdk_named_sem &record() { return record_; }

 private:
  hdk_named_sem record_{};
};

inline int sem_value(sem_t *sem) {
  int value = -1;
  sem_getvalue(sem, &value);
  return value;
}

}  // namespace osal_test
