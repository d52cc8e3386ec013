// The OS layer: release verdicts, refusals when the heap or the platform
// fails, the clock fallback, waits that signals cannot shorten, int locks,
// named semaphores between threads and between processes, the date and
// the case-insensitive comparison. Every case also runs under
// ThreadSanitizer. Counted allocations from many threads against a model,
// and exclusion by the int lock: tests/stress/.
#include <chip_util/osal.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstring>
#include <thread>

#include "osal/block_header.hpp"
#include "osal/platform_seam.hpp"
#include "osal/time_math.hpp"
#include "support/alloc_counter.hpp"

// The exported records keep the layout that drivers compile against, and
// the clock takes the seconds as 32 bits before the multiplication.
static_assert(sizeof g_osal_malloc_data == 10 * 16 && offsetof(hdk_named_sem, sem) == 32);
static_assert(offsetof(osal_date_time, second) == 6);
static_assert(osal::monotonic_usecs({static_cast<time_t>(0x100000001LL), 123456789}) == 1123456u);

namespace {

using namespace std::chrono_literals;

// A refused release (more than the module holds) counts an error and
// leaves the header alone; a verified one takes the size off and clears
// both header words. The hook slots are kept for the drivers and never
// called.
TEST(Memory, SettleReleaseClearsOnlyAVerifiedHeader) {
  osal::BlockHeader header{OSAL_BLOCK_TAG(6), 17};
  auto *bytes = reinterpret_cast<unsigned char *>(&header);
  osal_malloc_counters entry{16, 3, 2, 1};
  EXPECT_EQ(osal::settle_release(bytes, 6, entry), osal::Release::kRefusedFree);
  EXPECT_EQ(header.tag, OSAL_BLOCK_TAG(6));
  EXPECT_EQ(header.size, 17u);
  header.size = 16;
  EXPECT_EQ(osal::settle_release(bytes, 6, entry), osal::Release::kVerified);
  EXPECT_EQ(header.tag | header.size, 0u);
  const osal_malloc_counters want{0, 3, 3, 2};
  EXPECT_EQ(std::memcmp(&entry, &want, sizeof want), 0);
  osal_memory_handle_init();
  osal_register_malloc([](uint32_t, uint32_t) -> void * { std::abort(); });
  osal_register_free([](uint32_t, void *) { std::abort(); });
  osal_free_sdk(1, osal_malloc_sdk(1, 8));
}

// When the heap fails, counted blocks count nothing, a semaphore lock's
// slot keeps its contents while a mutex lock's slot is cleared, no thread
// starts without its start record, and a stack trace without names fails.
TEST(Memory, HeapRefusalsCountNothing) {
  CHIP_TEST_REQUIRE_ALLOC_COUNTER();
  ASSERT_EQ(osal_stack_trace(50), 0);  // loads what backtrace needs
  osal_malloc_counters before[OSAL_MODULE_COUNT];
  std::memcpy(before, g_osal_malloc_data, sizeof before);
  int marker = 0;
  void *slots[2] = {&marker, &marker};
  {
    const chip_test::AllocFailure failing(6);
    EXPECT_EQ(osal_malloc_sdk(4, 16), nullptr);
    EXPECT_EQ(osal_malloc_zero_sdk(4, 16), nullptr);
    EXPECT_EQ(osal_int_lock_init(&slots[0]), -1);
    EXPECT_EQ(osal_int_lock_mutex_init(&slots[1]), -1);
    EXPECT_EQ(osal_thread_create(0, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(osal_stack_trace(10), -1);
    EXPECT_EQ(failing.remaining(), 0u);
  }
  EXPECT_EQ(slots[0], &marker);
  EXPECT_EQ(slots[1], nullptr);
  EXPECT_EQ(std::memcmp(before, g_osal_malloc_data, sizeof before), 0);
}

// Failing readings count up from the fallback counter. The busy wait and
// the timed take read the clock once at the start and once per check, so on
// a failing clock they end after that many readings; a timed take that
// succeeds at once reads it only at the start. On the real clock, the task
// delay lasts its time; the wall clock and the date are today's, the date
// in seven bytes (byte 7 is padding that belongs to the caller).
TEST(Clock, FallbackWaitsAndDate) {
  g_ui_usec_for_fail = 0;
  osal::seam::clock_gettime_call = [](clockid_t, timespec *) { return -1; };
  EXPECT_EQ(hdk_time_usecs(), 0u);
  EXPECT_EQ(hdk_time_usecs(), 1u);
  EXPECT_EQ(hdk_time_usecs(), 2u);
  osal_udelay(5);
  EXPECT_EQ(g_ui_usec_for_fail, 3u + 6u);
  sem_t sem;
  EXPECT_EQ(sem_init(&sem, 0, 1), 0);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), 0);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), -1);
  EXPECT_EQ(g_ui_usec_for_fail, 9u + 1u + 6u);
  osal::seam::clock_gettime_call = &clock_gettime;
  sem_destroy(&sem);

  const uint64_t start = hdk_time_usecs();
  EXPECT_EQ(osal_task_delay(5), 0);
  EXPECT_GE(hdk_time_usecs() - start, 5000u);
  EXPECT_NEAR(osal_get_time_ms() / 1000.0, static_cast<double>(time(nullptr)), 2.0);
  osal_date_time date;
  std::memset(&date, 0xEE, sizeof date);
  struct tm local {};
  const time_t now = time(nullptr);
  ASSERT_EQ(osal_localtime_r(&now, &local), &local);
  EXPECT_EQ(osal_sys_time_get(&date), 0);
  EXPECT_EQ(date.year, local.tm_year + 1900);
  EXPECT_EQ(date.month, local.tm_mon + 1);
  EXPECT_EQ(reinterpret_cast<unsigned char *>(&date)[7], 0xEE);
  EXPECT_EQ(osal_sys_time_get(nullptr), 0);
}

std::atomic<int> g_signals{0};
sem_t g_given;  // given by the fifth signal

// Another thread sends this one SIGUSR1 every 10 ms, through a handler
// installed without SA_RESTART so that every blocking call sees EINTR. An
// unlimited take outlasts the signals until one gives; resumed sleeps add
// up to the request (the slack absorbs rounding of the kernel's
// remainders), where a sleep cut short would end after one period.
TEST(Signals, UnlimitedTakesAndSleepsRunTheirFullTime) {
  struct sigaction action {};
  action.sa_handler = [](int) {
    if (g_signals.fetch_add(1) == 4) sem_post(&g_given);
  };
  ASSERT_EQ(sigaction(SIGUSR1, &action, nullptr), 0);
  ASSERT_EQ(sem_init(&g_given, 0, 0), 0);
  std::jthread pester([target = pthread_self()](std::stop_token stop) {
    for (; !stop.stop_requested(); std::this_thread::sleep_for(10ms)) pthread_kill(target, SIGUSR1);
  });
  EXPECT_EQ(hdk_sem_take_timeout(&g_given, UINT32_MAX), 0);
  EXPECT_GE(g_signals, 5);
  for (const auto &[wait, amount] :
       {std::pair{&osal_ms_delay, 300u}, std::pair{&osal_usleep, 300000u},
        std::pair{&osal_ns_delay, 300000000u}}) {
    const int signals = g_signals;
    const auto start = std::chrono::steady_clock::now();
    wait(amount);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 295ms) << amount;
    EXPECT_GE(g_signals - signals, 2) << amount;
  }
  sem_destroy(&g_given);  // later signals leave it alone
}

// Null slots are refused. The mutex variant is recursive: its holder may
// lock it again, no one else.
TEST(IntLock, RefusalsAndRecursiveMutex) {
  EXPECT_EQ(osal_int_lock_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock(nullptr), nullptr);
  osal_int_unlock(nullptr);
  EXPECT_EQ(osal_int_lock_destroy(nullptr), -1);
  void *lock = nullptr;
  ASSERT_EQ(osal_int_lock_mutex_init(&lock), 0);
  auto *mutex = static_cast<pthread_mutex_t *>(lock);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);
  EXPECT_EQ(pthread_mutex_lock(mutex), 0);
  std::thread([mutex] { EXPECT_EQ(pthread_mutex_trylock(mutex), EBUSY); }).join();
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_unlock(mutex), 0);
  EXPECT_EQ(pthread_mutex_destroy(mutex), 0);
  osal_free_sdk(0, lock);
}

// The take polls until a thread gives after 20 ms; a forked child opens
// the same semaphore by name (its value has no effect) and gives it once;
// then the take gives up after its timeout. The margins cover a loaded
// machine.
TEST(NamedSemaphore, TimedTakeAndSharingWithAForkedProcess) {
  EXPECT_EQ(hdk_sem_create(nullptr, 0, 1), nullptr);
  EXPECT_EQ(hdk_sem_take(nullptr), -1);
  EXPECT_EQ(hdk_sem_give(nullptr), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, 0), -1);
  hdk_sem_destroy(nullptr);
  hdk_named_sem record{};
  std::snprintf(record.name, sizeof record.name, "/chip_util_%d", static_cast<int>(getpid()));
  record.sem = hdk_sem_create(record.name, 0xDEAD, 0);
  ASSERT_NE(record.sem, SEM_FAILED);
  uint64_t start = hdk_time_usecs();
  std::jthread giver([&record] {
    std::this_thread::sleep_for(20ms);
    hdk_sem_give(record.sem);
  });
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 2000000), 0);
  EXPECT_GE(hdk_time_usecs() - start, 20000u);
  giver.join();

  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    sem_t *same = hdk_sem_create(record.name, 0, 5);
    _exit(same != SEM_FAILED && hdk_sem_give(same) == 0 ? 0 : 1);
  }
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 5000000), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
  for (const auto &[a, b, result] : cases) {
    EXPECT_EQ(osal_stricmp(a, b), result) << (a ? a : "null") << (b ? b : "null");
  }
}

// A thread that cannot be created releases its start record, verified; a
// thread without an entry meets no cancellation point and runs to its end,
// releasing its record, whether or not a cancel request came first; so
// does a detached one. Last in this file: nothing orders the detached
// thread's release with the plain reads of the counters that other tests
// make.
TEST(Thread, RefusedStartCancelAndDetach) {
  EXPECT_EQ(osal_thread_self(), std::bit_cast<osal_thread_id>(pthread_self()));
  EXPECT_STREQ(osal_thread_name(), " ");
  const osal_malloc_counters before = g_osal_malloc_data[0];
  osal::seam::pthread_create_call = [](pthread_t *, const pthread_attr_t *, void *(*)(void *),
                                       void *) { return EAGAIN; };
  EXPECT_EQ(osal_thread_create(0, 0, 0, nullptr, nullptr), 0u);
  osal::seam::pthread_create_call = &pthread_create;
  EXPECT_EQ(osal_th_start_routine(nullptr), nullptr);
  const osal_thread_id plain = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(plain, 0u);
  EXPECT_EQ(osal_thread_destroy(plain), 0);
  EXPECT_EQ(pthread_join(std::bit_cast<pthread_t>(plain), nullptr), 0);
  const osal_malloc_counters want = {before.malloc_size, before.malloc_count + 2,
                                     before.free_count + 2, before.free_error_count};
  EXPECT_EQ(std::memcmp(&g_osal_malloc_data[0], &want, sizeof want), 0);

  const std::atomic_ref<uint32_t> releases(g_osal_malloc_data[0].free_count);
  const osal_thread_id detached = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(detached, 0u);
  EXPECT_EQ(osal_thread_detach(detached), 0);
  while (releases.load() == want.free_count) std::this_thread::sleep_for(1ms);
}

}  // namespace
