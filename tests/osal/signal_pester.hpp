// Interrupts a thread with SIGUSR1 again and again, through a handler
// installed without SA_RESTART, so that every blocking call it makes sees
// EINTR.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <stop_token>
#include <thread>

namespace osal_test {

inline std::atomic<int> g_signals_seen{0};

inline void count_signal(int) { g_signals_seen.fetch_add(1, std::memory_order_relaxed); }

class SignalPester {
 public:
  explicit SignalPester(std::chrono::milliseconds period) {
    struct sigaction action{};
    action.sa_handler = &count_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: interrupted calls fail with EINTR
    sigaction(SIGUSR1, &action, &saved_);
    thread_ = std::jthread([target = pthread_self(), period](std::stop_token stop) {
      while (!stop.stop_requested()) {
        std::this_thread::sleep_for(period);
        pthread_kill(target, SIGUSR1);
      }
    });
  }
  ~SignalPester() {
    thread_.request_stop();
    thread_.join();
    sigaction(SIGUSR1, &saved_, nullptr);
  }
  SignalPester(const SignalPester &) = delete;
  SignalPester &operator=(const SignalPester &) = delete;

 private:
  struct sigaction saved_{};
  std::jthread thread_;
};

}  // namespace osal_test
