// SPDX-License-Identifier: Apache-2.0
// The OS layer: block headers and release verdicts, refusals when the
// platform fails, the clock fallback, waits that signals cannot shorten,
// int locks, named semaphores between threads and between processes, the
// date and the case-insensitive comparison. Every case also runs under
// ThreadSanitizer. Counted allocations from many threads against a model,
// and exclusion by the int lock: tests/stress/.
#include <chip_util/osal.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "osal/block_header.hpp"
#include "osal/platform_seam.hpp"
#include "osal/time_math.hpp"
#include "support/alloc_counter.hpp"

// The exported records keep the layout that drivers compile against, and
// the clock takes the seconds as 32 bits before the multiplication.
static_assert(sizeof g_osal_malloc_data == 10 * 16 && offsetof(hdk_named_sem, sem) == 32);
static_assert(osal::monotonic_usecs({static_cast<time_t>(0x100000001LL), 123456789}) == 1123456u);

namespace {

using namespace std::chrono_literals;

bool same(const osal_malloc_counters &a, const osal_malloc_counters &b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A block follows its header (the module's tag, the size) and is counted.
// Zero bytes, a size whose header would not fit 32 bits, a module outside
// the table, and releases of null or under such a module are refused
// without counting. Untagged memory is counted as an error and left alone.
// A release of more than the module holds, or under another module than
// the tag's, counts an error and keeps the header; a verified one clears
// both header words. The hook slots are kept for the drivers and never
// called.
TEST(Memory, HeadersCountersAndReleaseVerdicts) {
  osal_memory_handle_init();
  osal_register_malloc([](uint32_t, uint32_t) -> void * { std::abort(); });
  osal_register_free([](uint32_t, void *) { std::abort(); });
  for (const uint32_t size : {0u, UINT32_MAX - 7}) EXPECT_EQ(osal_malloc_sdk(3, size), nullptr);
  EXPECT_EQ(osal_malloc_zero_sdk(OSAL_MODULE_COUNT, 8), nullptr);
  auto *area = static_cast<uint32_t *>(osal_malloc_zero_sdk(3, 8));
  ASSERT_NE(area, nullptr);
  uint32_t block[4] = {OSAL_BLOCK_TAG(3), 8, 0, 0};
  EXPECT_EQ(std::memcmp(area - 2, block, sizeof block), 0);
  osal_free_sdk(3, nullptr);
  osal_free_sdk(OSAL_MODULE_COUNT, area);
  osal_free_sdk(3, block + 4);  // untagged: a heap release of the stack would abort
  osal_free_sdk(3, area);
  EXPECT_TRUE(same(g_osal_malloc_data[3], {0, 1, 1, 1}));

  osal::BlockHeader header{OSAL_BLOCK_TAG(6), 17};
  auto *bytes = reinterpret_cast<unsigned char *>(&header);
  osal_malloc_counters entry{16, 3, 2, 1};
  EXPECT_EQ(osal::settle_release(bytes, 6, entry), osal::Release::kRefusedFree);
  header.size = 16;  // a header that a refusal had cleared would now be refused
  EXPECT_EQ(osal::settle_release(bytes, 5, entry), osal::Release::kRefusedFree);
  EXPECT_EQ(osal::settle_release(bytes, 6, entry), osal::Release::kVerified);
  EXPECT_EQ(header.tag | header.size, 0u);
  EXPECT_TRUE(same(entry, {0, 3, 3, 3}));
}

// Failing readings count up from the fallback counter. The busy wait and
// the timed take read the clock once at the start and once per check, so on
// a failing clock they end after that many readings. On the real clock, the
// wall clock and the date are today's, the date in seven bytes (byte 7 is
// padding that belongs to the caller).
TEST(Clock, FallbackWaitsAndDate) {
  osal::seam::clock_gettime_call = [](clockid_t, timespec *) { return -1; };
  for (const uint64_t reading : {0u, 1u, 2u}) EXPECT_EQ(hdk_time_usecs(), reading);
  osal_udelay(5);
  sem_t sem;
  EXPECT_EQ(sem_init(&sem, 0, 0), 0);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), -1);
  EXPECT_EQ(g_ui_usec_for_fail, 3u + 6u + 6u);
  osal::seam::clock_gettime_call = &clock_gettime;
  sem_destroy(&sem);

  EXPECT_NEAR(osal_get_time_ms() / 1000.0, static_cast<double>(time(nullptr)), 2.0);
  osal_date_time date;
  std::memset(&date, 0xEE, sizeof date);
  struct tm local {};
  const time_t now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &local), &local);
  EXPECT_EQ(osal_sys_time_get(&date), 0);
  EXPECT_EQ(date.year, local.tm_year + 1900);
  EXPECT_EQ(reinterpret_cast<unsigned char *>(&date)[7], 0xEE);
  EXPECT_EQ(osal_sys_time_get(nullptr), 0);
}

std::atomic<int> g_signals{0};

// Another thread sends this one SIGUSR1 every 10 ms, and a sleep that a
// handled signal interrupts returns EINTR whether or not SA_RESTART is set.
// Resumed sleeps add up to the request (the slack absorbs rounding of the
// kernel's remainders), where a sleep cut short would end after one period.
TEST(Signals, SleepsRunTheirFullTime) {
  ASSERT_NE(signal(SIGUSR1, [](int) { ++g_signals; }), SIG_ERR);
  std::jthread pester([target = pthread_self()](std::stop_token stop) {
    for (; !stop.stop_requested(); std::this_thread::sleep_for(10ms)) pthread_kill(target, SIGUSR1);
  });
  for (const auto &[wait, amount] : {std::pair{&osal_ms_delay, 300u}, std::pair{&osal_usleep, 300000u},
                                     std::pair{&osal_ns_delay, 300000000u}}) {
    const int signals = g_signals;
    const auto start = std::chrono::steady_clock::now();
    wait(amount);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 295ms) << amount;
    EXPECT_GE(g_signals - signals, 2) << amount;
  }
}

// Null slots are refused. The mutex variant is recursive: its holder may
// lock it again.
TEST(IntLock, RefusalsAndRecursiveMutex) {
  EXPECT_EQ(osal_int_lock_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock(nullptr), nullptr);
  EXPECT_EQ(osal_int_lock_destroy(nullptr), -1);
  void *lock = nullptr;
  ASSERT_EQ(osal_int_lock_mutex_init(&lock), 0);
  auto *mutex = static_cast<pthread_mutex_t *>(lock);
  for (int times = 0; times < 2; ++times) EXPECT_EQ(pthread_mutex_trylock(mutex), 0);
  for (int times = 0; times < 2; ++times) EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_destroy(mutex), 0);
  osal_free_sdk(0, lock);
}

// A new semaphore gets mode 0644 (with no umask to hide a wrong bit; Linux
// keeps named semaphores as files "sem.NAME" in /dev/shm). A forked child
// opens it by name (its value has no effect) and gives it once, which an unlimited take then takes. A timed take
// polls until a thread gives after a task delay of 20 ms, then gives up
// after its timeout. The margins cover a loaded machine.
TEST(NamedSemaphore, SharedWithAForkedProcessAndTimedTakes) {
  EXPECT_EQ(hdk_sem_create(nullptr, 0, 1), nullptr);
  EXPECT_EQ(hdk_sem_take(nullptr), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, 0), -1);
  hdk_sem_destroy(nullptr);
  hdk_named_sem record{};
  std::snprintf(record.name, sizeof record.name, "/chip_util_%d", static_cast<int>(getpid()));
  const mode_t umask_before = umask(0);
  record.sem = hdk_sem_create(record.name, 0xDEAD, 0);
  umask(umask_before);
  ASSERT_NE(record.sem, SEM_FAILED);
  struct stat file {};
  ASSERT_EQ(stat((std::string("/dev/shm/sem.") + (record.name + 1)).c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 07777, 0644u);
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    sem_t *same = hdk_sem_create(record.name, 0, 5);
    _exit(same != SEM_FAILED && hdk_sem_give(same) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, UINT32_MAX), 0);

  uint64_t start = hdk_time_usecs();
  const std::jthread giver([&record] {
    EXPECT_EQ(osal_task_delay(20), 0);
    hdk_sem_give(record.sem);
  });
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 2000000), 0);
  EXPECT_GE(hdk_time_usecs() - start, 20000u);
  start = hdk_time_usecs();
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 200000), -1);
  EXPECT_GE(hdk_time_usecs() - start, 200000u);
  hdk_sem_destroy(&record);
  EXPECT_EQ(sem_open(record.name, 0), SEM_FAILED) << "unlinked";
}

// Null arguments, the exact difference past the end of the shorter text
// and for bytes above 0x7F, and the neighbours of the letters that folding
// with 0x20 would wrongly take for letters.
TEST(Strings, StricmpComparesLoweredBytes) {
  const std::tuple<const char *, const char *, int32_t> cases[] = {
      {"Hello", "hELLO", 0},     {"abc", "ab", 99},       {"ab", "abc", -99},
      {"\xFF", "a", 0xFF - 'a'}, {"\xC0", "\xE0", -0x20}, {"[", "{", '[' - '{'},
      {"@", "`", '@' - '`'},     {nullptr, "a", -1},      {"a", nullptr, -1}};
  for (const auto &[a, b, diff] : cases) EXPECT_EQ(osal_stricmp(a, b), diff) << a << ' ' << b;
}

// A thread that cannot be created releases its start record, verified; a
// thread without an entry meets no cancellation point and runs to its end,
// releasing its record, although a cancel request came first and it was
// detached. Last in this file: nothing orders that release with the plain
// reads of the counters that other tests make.
TEST(Thread, RefusedStartCancelAndDetach) {
  EXPECT_EQ(osal_thread_self(), static_cast<osal_thread_id>(pthread_self()));
  EXPECT_STREQ(osal_thread_name(), " ");
  EXPECT_EQ(osal_stack_trace(10), 0);
  const uint32_t want = g_osal_malloc_data[0].free_count + 2;
  osal::seam::pthread_create_call = [](auto...) { return EAGAIN; };
  EXPECT_EQ(osal_thread_create(0, 0, 0, nullptr, nullptr), 0u);
  osal::seam::pthread_create_call = &pthread_create;
  EXPECT_EQ(osal_th_start_routine(nullptr), nullptr);
  const osal_thread_id thread = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(thread, 0u);
  EXPECT_EQ(osal_thread_destroy(thread), 0);
  EXPECT_EQ(osal_thread_detach(thread), 0);
  const std::atomic_ref<uint32_t> releases(g_osal_malloc_data[0].free_count);
  for (int ms = 0; ms < 10000 && releases.load() != want; ++ms) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(releases.load(), want);
}

}  // namespace
