// SPDX-License-Identifier: Apache-2.0
// Calls a careless or hostile driver makes, each of which once crashed the
// process or misbehaved: one row per fault, with its siblings in the same
// row. Random sequences of such calls against models: fuzz/fuzz_osal.cpp.
#include <chip_util/osal.h>
#include <chip_util/register.h>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace {

struct Case {
  const char *name;  // also the test's name
  std::function<void()> check;
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

const Case kCases[] = {
    // The last word of an image of 0xFFFFFFFD to 0xFFFFFFFF bytes is word
    // 0x3FFFFFFF: the word count must not wrap to 0. The image is placed so
    // that only its last word is real memory.
    {"WideWordCountNear4GiB",
     [] {
       for (const uint32_t reg_bytes : {0xFFFFFFFCu, 0xFFFFFFFDu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
         uint32_t last = 0x12345678;
         const uintptr_t last_index = (uint64_t{reg_bytes} + 3) / 4 - 1;
         auto *const image = reinterpret_cast<uint32_t *>(reinterpret_cast<uintptr_t>(&last) -
                                                          last_index * sizeof last);
         uint32_t field = 0;
         hdk_get_field_info(4, 8, reg_bytes, image, &field);
         EXPECT_EQ(field, 0x67u) << reg_bytes;
         field = 0xAB;
         hdk_set_field_info(4, 8, reg_bytes, image, &field);
         EXPECT_EQ(last, 0x12345AB8u) << reg_bytes;
       }
     }},
    // 0 is osal_thread_create's "no thread": refused like an unknown thread,
    // never handed to the platform.
    {"ThreadIdZero",
     [] {
       EXPECT_EQ(osal_thread_destroy(0), ESRCH);
       EXPECT_EQ(osal_thread_detach(0), ESRCH);
     }},
    // A destroyed lock, or a slot that never held one, is refused by every
    // call on it.
    {"IntLockEmptySlot",
     [] {
       void *slot = nullptr;
       ASSERT_EQ(osal_int_lock_init(&slot), 0);
       ASSERT_EQ(osal_int_lock_destroy(&slot), 0);
       for (int round = 0; round < 2; ++round) {
         errno = 0;
         EXPECT_EQ(osal_int_lock(&slot), nullptr);
         EXPECT_EQ(errno, EINVAL);
         osal_int_unlock(&slot);
         EXPECT_EQ(osal_int_lock_destroy(&slot), -1);
         EXPECT_EQ(slot, nullptr);
       }
     }},
    // A record whose create failed holds a null handle: nothing is closed
    // (closing null reports EINVAL), the name is still unlinked.
    {"NamedSemaphoreAfterFailedCreate",
     [] {
       hdk_named_sem record{};
       std::snprintf(record.name, sizeof record.name, "/chip_util_null_%d", static_cast<int>(getpid()));
       sem_t *const other = sem_open(record.name, O_CREAT, 0600, 0);
       ASSERT_NE(other, SEM_FAILED);
       errno = 0;
       hdk_sem_destroy(&record);
       EXPECT_EQ(errno, 0);
       EXPECT_EQ(sem_open(record.name, 0), SEM_FAILED) << "unlinked";
       sem_close(other);
     }},
    // A second release of a block of any size, even one the heap has
    // already returned to the system, and a forged header on memory that
    // never came from the allocator, are counted and touch nothing.
    {"DoubleReleaseAndForgedHeader",
     [] {
       const osal_malloc_counters before = g_osal_malloc_data[1];
       for (const uint32_t size : {64u, 4096u, 128u << 10, 1u << 20}) {
         void *area = osal_malloc_sdk(1, size);
         ASSERT_NE(area, nullptr);
         osal_free_sdk(1, area);
         osal_free_sdk(1, area);
       }
       uint32_t forged[4] = {OSAL_BLOCK_TAG(1), 8, 0xEE, 0xEE};
       osal_free_sdk(1, forged + 2);
       const uint32_t intact[4] = {OSAL_BLOCK_TAG(1), 8, 0xEE, 0xEE};
       EXPECT_EQ(std::memcmp(forged, intact, sizeof forged), 0);
       const osal_malloc_counters &after = g_osal_malloc_data[1];
       EXPECT_EQ(after.malloc_size, before.malloc_size);
       EXPECT_EQ(after.free_count - before.free_count, 4u);
       EXPECT_EQ(after.free_error_count - before.free_error_count, 5u);
     }},
};

class HostileUse : public testing::TestWithParam<Case> {};

TEST_P(HostileUse, Refused) { GetParam().check(); }

INSTANTIATE_TEST_SUITE_P(Faults, HostileUse, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) { return info.param.name; });

}  // namespace
