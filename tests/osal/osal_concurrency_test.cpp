// The OS layer: release verdicts, refusals when the heap or the platform
// fails, the clock fallback, waits that signals cannot shorten, int locks,
// named semaphores between threads and between processes, the date, and
// the string wrappers. Every case also runs under ThreadSanitizer. Random
// counted allocations from several threads against a model:
// tests/stress/osal_log_concurrency_test.cpp.
#include <chip_util/osal.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "osal/block_header.hpp"
#include "osal/platform_seam.hpp"
#include "osal/time_math.hpp"
#include "support/alloc_counter.hpp"

// The exported records keep the layout that drivers compile against.
static_assert(sizeof g_osal_malloc_data == 10 * 16);
static_assert(offsetof(hdk_named_sem, sem) == 32);
static_assert(offsetof(osal_date_time, second) == 6);

// Clock and delay arithmetic: seconds are taken as 32 bits before the
// multiplication, and each 8-bit date field keeps the low 8 bits.
static_assert(osal::monotonic_usecs({static_cast<time_t>(0x100000001LL), 123456789}) == 1123456u);
static_assert(osal::monotonic_usecs({0xFFFFFFFF, 999999999}) == 4294967295999999ull);
static_assert(osal::wall_clock_ms({1, 999999}) == 1999);
static_assert(osal::split_ms(UINT32_MAX).tv_sec == 4294967);
static_assert(osal::split_ms(UINT32_MAX).tv_nsec == 295000000);
static_assert(osal::split_us(UINT32_MAX).tv_nsec == 967295000);
static_assert(osal::split_ns(UINT32_MAX).tv_nsec == 294967295);
constexpr osal_date_time kDate = osal::date_time_of([] {
  struct tm t {};
  t.tm_sec = 0x106;
  t.tm_mon = 11;
  t.tm_year = 126;
  return t;
}());
static_assert(kDate.year == 2026 && kDate.month == 12 && kDate.second == 6);
static_assert(osal::size_fits_header(UINT32_MAX - 8) && !osal::size_fits_header(UINT32_MAX - 7));

namespace {

using namespace std::chrono_literals;

// A verified release takes the size off and clears both header words; a
// refused one counts an error and leaves the header alone. (Releases under
// the wrong module and of untagged memory: the stress model.)
TEST(Memory, SettleReleaseClearsOnlyAVerifiedHeader) {
  using osal::Release;
  const std::pair<osal::BlockHeader, Release> cases[] = {
      {{OSAL_BLOCK_TAG(6), 16}, Release::kVerified},
      {{OSAL_BLOCK_TAG(6), 17}, Release::kRefusedFree},  // more than the module holds
      {{0x06AAAAABu, 16}, Release::kRefusedKeep}};       // a damaged tag
  for (const auto &[header, verdict] : cases) {
    osal::BlockHeader bytes = header;
    osal_malloc_counters entry{16, 3, 2, 1};
    EXPECT_EQ(osal::settle_release(reinterpret_cast<unsigned char *>(&bytes), 6, entry), verdict);
    const bool verified = verdict == Release::kVerified;
    const osal::BlockHeader want_header = verified ? osal::BlockHeader{0, 0} : header;
    const osal_malloc_counters want =
        verified ? osal_malloc_counters{0, 3, 3, 1} : osal_malloc_counters{16, 3, 2, 2};
    EXPECT_EQ(std::memcmp(&bytes, &want_header, sizeof bytes), 0) << header.size;
    EXPECT_EQ(std::memcmp(&entry, &want, sizeof want), 0) << header.size;
  }
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
  void *slots[3] = {&marker, &marker, &marker};
  {
    chip_test::AllocFailure failing(7);
    EXPECT_EQ(osal_malloc_sdk(4, 16), nullptr);
    EXPECT_EQ(osal_malloc_zero_sdk(4, 16), nullptr);
    EXPECT_EQ(osal_int_lock_init(&slots[0]), -1);
    EXPECT_EQ(osal_int_lock_no_mutex_init(&slots[1]), -1);
    EXPECT_EQ(osal_int_lock_mutex_init(&slots[2]), -1);
    EXPECT_EQ(osal_thread_create(
                  0, 0, 0, [](void *) -> void * { std::abort(); }, nullptr),
              0u);
    EXPECT_EQ(osal_stack_trace(10), -1);
    EXPECT_EQ(failing.remaining(), 0u);
  }
  EXPECT_EQ(slots[0], &marker);
  EXPECT_EQ(slots[1], &marker);
  EXPECT_EQ(slots[2], nullptr);
  EXPECT_EQ(std::memcmp(before, g_osal_malloc_data, sizeof before), 0);
}

// The hook slots are kept for the drivers and never called.
TEST(Memory, HooksAreKeptButNeverCalled) {
  osal_memory_handle_init();
  osal_register_malloc([](uint32_t, uint32_t) -> void * { std::abort(); });
  osal_register_free([](uint32_t, void *) { std::abort(); });
  EXPECT_NE(g_osal_hook_funcs.malloc_hook, nullptr);
  EXPECT_NE(g_osal_hook_funcs.free_hook, nullptr);
  osal_free_sdk(1, osal_malloc_sdk(1, 8));
}

// Points a platform seam of the layer elsewhere for the life of a scope.
template <typename Fn>
class SeamGuard {
 public:
  SeamGuard(Fn &slot, Fn replacement) : slot_(slot), saved_(slot) { slot_ = replacement; }
  ~SeamGuard() { slot_ = saved_; }

 private:
  Fn &slot_;
  Fn saved_;
};

// A thread that cannot be created releases its start record, verified; a
// thread without an entry meets no cancellation point and runs to its end,
// releasing its record, whether or not a cancel request came first.
TEST(Thread, FailedStartAndCancel) {
  const osal_malloc_counters before = g_osal_malloc_data[0];
  {
    const SeamGuard<osal::seam::PthreadCreate> refusing(
        osal::seam::pthread_create_call,
        [](pthread_t *, const pthread_attr_t *, void *(*)(void *), void *) { return EAGAIN; });
    EXPECT_EQ(osal_thread_create(0, 0, 0, nullptr, nullptr), 0u);
  }
  EXPECT_EQ(osal_th_start_routine(nullptr), nullptr);
  const osal_thread_id plain = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(plain, 0u);
  EXPECT_EQ(osal_thread_destroy(plain), 0);
  EXPECT_EQ(pthread_join(std::bit_cast<pthread_t>(plain), nullptr), 0);
  const osal_malloc_counters want = {before.malloc_size, before.malloc_count + 2,
                                     before.free_count + 2, before.free_error_count};
  EXPECT_EQ(std::memcmp(&g_osal_malloc_data[0], &want, sizeof want), 0);
}

int failing_clock(clockid_t, timespec *) { return -1; }

// Failing readings count up from the fallback counter. The busy wait and
// the timed take read the clock once at the start and once per check, so on
// a failing clock they end after that many readings; a timed take that
// succeeds at once reads it only at the start.
TEST(Clock, FailingClockCountsAndBoundsThePollingWaits) {
  g_ui_usec_for_fail = 0;
  const SeamGuard<osal::seam::ClockGettime> broken(osal::seam::clock_gettime_call, failing_clock);
  EXPECT_EQ(hdk_time_usecs(), 0u);
  EXPECT_EQ(hdk_time_usecs(), 1u);
  EXPECT_EQ(hdk_time_usecs(), 2u);
  osal_udelay(5);
  EXPECT_EQ(g_ui_usec_for_fail, 3u + 6u);
  osal_udelay(0);
  EXPECT_EQ(g_ui_usec_for_fail, 9u + 2u);
  sem_t sem;
  ASSERT_EQ(sem_init(&sem, 0, 1), 0);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 0), 0);
  EXPECT_EQ(g_ui_usec_for_fail, 11u + 1u);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 0), -1);
  EXPECT_EQ(g_ui_usec_for_fail, 12u + 2u);
  EXPECT_EQ(hdk_sem_take_timeout(&sem, 5), -1);
  EXPECT_EQ(g_ui_usec_for_fail, 14u + 6u);
  sem_destroy(&sem);
}

// The waits last at least their time by the layer's own clock, which never
// fell back; the wall clock and the date are today's, the date in seven
// bytes.
TEST(Clock, WaitsWallClockAndDate) {
  const uint64_t fallback = g_ui_usec_for_fail;
  uint64_t start = hdk_time_usecs();
  EXPECT_EQ(osal_task_delay(5), 0);
  EXPECT_GE(hdk_time_usecs() - start, 5000u);
  start = hdk_time_usecs();
  osal_udelay(2000);
  EXPECT_GE(hdk_time_usecs() - start, 2000u);
  EXPECT_EQ(g_ui_usec_for_fail, fallback);
  EXPECT_NEAR(osal_get_time_ms() / 1000.0, static_cast<double>(time(nullptr)), 2.0);

  // Byte 7 of the record is padding that belongs to the caller.
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

// Runs `wait` while another thread sends the calling one SIGUSR1 every
// 10 ms, through a handler installed without SA_RESTART so that every
// blocking call sees EINTR; returns how many signals arrived.
template <typename Wait>
int interrupted(Wait wait) {
  struct sigaction action {};
  struct sigaction saved {};
  action.sa_handler = [](int) { g_signals.fetch_add(1); };
  sigaction(SIGUSR1, &action, &saved);
  const int before = g_signals.load();
  {
    std::jthread pester([target = pthread_self()](std::stop_token stop) {
      for (; !stop.stop_requested(); std::this_thread::sleep_for(10ms)) {
        pthread_kill(target, SIGUSR1);
      }
    });
    wait();
  }
  sigaction(SIGUSR1, &saved, nullptr);
  return g_signals.load() - before;
}

// Resumed sleeps add up to the request (the slack absorbs rounding of the
// kernel's remainders); a sleep cut short would end after one period.
TEST(Signals, SleepsAndUnlimitedTakesRunTheirFullTime) {
  for (const auto &[wait, amount] :
       {std::pair{&osal_ms_delay, 300u}, std::pair{&osal_usleep, 300000u},
        std::pair{&osal_ns_delay, 300000000u}}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_GE(interrupted([&] { wait(amount); }), 2) << amount;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 295ms) << amount;
  }
  sem_t sem;
  ASSERT_EQ(sem_init(&sem, 0, 0), 0);
  std::jthread giver([&sem] {
    std::this_thread::sleep_for(150ms);
    sem_post(&sem);
  });
  EXPECT_GE(interrupted([&sem] { EXPECT_EQ(hdk_sem_take_timeout(&sem, UINT32_MAX), 0); }), 2);
  giver.join();
  sem_destroy(&sem);
}

TEST(IntLock, KeepsThreadsApart) {
  EXPECT_EQ(osal_int_lock_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_no_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock_mutex_init(nullptr), -1);
  EXPECT_EQ(osal_int_lock(nullptr), nullptr);
  osal_int_unlock(nullptr);
  EXPECT_EQ(osal_int_lock_destroy(nullptr), -1);

  // Two threads wait while the lock is held, then keep their plain
  // increments apart. The semaphore is counted under module 0.
  const uint32_t held = g_osal_malloc_data[0].malloc_size;
  void *lock = nullptr;
  long counter = 0;
  ASSERT_EQ(osal_int_lock_init(&lock), 0);
  EXPECT_EQ(g_osal_malloc_data[0].malloc_size, held + sizeof(sem_t));
  ASSERT_EQ(osal_int_lock(&lock), lock);
  const auto add_many = [&] {
    for (int i = 0; i < 20000; ++i) {
      EXPECT_EQ(osal_int_lock(&lock), lock);
      counter = counter + 1;
      osal_int_unlock(&lock);
    }
  };
  std::thread a(add_many);
  std::thread b(add_many);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(counter, 0);
  osal_int_unlock(&lock);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
  EXPECT_EQ(osal_int_lock_destroy(&lock), 0);
  EXPECT_EQ(lock, nullptr);
  EXPECT_EQ(g_osal_malloc_data[0].malloc_size, held);

  // The mutex variant is recursive: its holder may lock it again, no one else.
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

TEST(NamedSemaphore, TimedTakeAndSharingWithAForkedProcess) {
  EXPECT_EQ(hdk_sem_create(nullptr, 0, 1), nullptr);
  EXPECT_EQ(hdk_sem_take(nullptr), -1);
  EXPECT_EQ(hdk_sem_give(nullptr), -1);
  EXPECT_EQ(hdk_sem_take_timeout(nullptr, 0), -1);
  hdk_sem_destroy(nullptr);

  hdk_named_sem record{};
  std::snprintf(record.name, sizeof record.name, "/chip_util_%d", static_cast<int>(getpid()));
  const mode_t saved_mask = umask(0);
  record.sem = hdk_sem_create(record.name, 0xDEAD, 0);
  umask(saved_mask);
  ASSERT_NE(record.sem, SEM_FAILED);
  struct stat info {};
  EXPECT_EQ(stat((std::string("/dev/shm/sem.") + (record.name + 1)).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  // The take polls until the give, then gives up after its timeout. Half a
  // second is the nominal limit; the margins cover a loaded machine.
  uint64_t start = hdk_time_usecs();
  std::jthread giver([&record] {
    std::this_thread::sleep_for(20ms);
    hdk_sem_give(record.sem);
  });
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 2000000), 0);
  EXPECT_GE(hdk_time_usecs() - start, 20000u);
  start = hdk_time_usecs();
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 200000), -1);
  const uint64_t waited = hdk_time_usecs() - start;
  EXPECT_GE(waited, 200000u);
  EXPECT_LT(waited, 10000000u);

  // A forked child opens the same semaphore by name (its value has no
  // effect) and gives it once: one take succeeds, the next finds it at 0.
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
  EXPECT_EQ(hdk_sem_take_timeout(record.sem, 0), -1);
  hdk_sem_destroy(&record);
  EXPECT_EQ(sem_open(record.name, 0), SEM_FAILED) << "unlinked";
}

// Worked examples: null arguments, the exact difference past the end of the
// shorter text and for bytes above 0x7F, and the neighbours of the letters
// that folding with 0x20 would wrongly take for letters.
TEST(Strings, StricmpComparesLoweredBytes) {
  struct Case {
    const char *a;
    const char *b;
    int32_t result;
  };
  const Case cases[] = {{"Hello", "hELLO", 0},     {"abc", "ab", 99},       {"ab", "abc", -99},
                        {"\xFF", "a", 0xFF - 'a'}, {"\xC0", "\xE0", -0x20}, {"[", "{", '[' - '{'},
                        {"@", "`", '@' - '`'},     {nullptr, "a", -1},      {"a", nullptr, -1}};
  for (const Case &c : cases) {
    EXPECT_EQ(osal_stricmp(c.a, c.b), c.result) << (c.a ? c.a : "null") << (c.b ? c.b : "null");
  }
}

// A detached thread is waited for through its release of the record. Last
// in this file: nothing orders that release with the plain reads of the
// counters that other tests make.
TEST(ThreadDetach, PassesThroughAndTheThreadReleasesItsRecord) {
  const std::atomic_ref<uint32_t> releases(g_osal_malloc_data[0].free_count);
  const uint32_t released = releases.load();
  const osal_thread_id detached = osal_thread_create(0, 0, 0, nullptr, nullptr);
  ASSERT_NE(detached, 0u);
  EXPECT_EQ(osal_thread_detach(detached), 0);
  while (releases.load() == released) std::this_thread::sleep_for(1ms);
}

}  // namespace
