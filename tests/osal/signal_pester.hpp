// Interrupts a thread with SIGUSR1 again and again, through a handler
// installed without SA_RESTART, so that every blocking call it makes sees
// EINTR.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace osal_test {

inline std::atomic<int> g_signals_seen{0};

inline void count_signal(int) { g_signals_seen.fetch_add(1, std::memory_order_relaxed); }

class SignalPester {
 public:
  explicit SignalPester(std::chrono::milliseconds period) : target_(pthread_self()) {
    struct sigaction action{};
    action.sa_handler = &count_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: interrupted calls fail with EINTR
    sigaction(SIGUSR1, &action, &saved_);
    thread_ = std::thread([this, period] {
      while (!stop_.load()) {
        std::this_thread::sleep_for(period);
        pthread_kill(target_, SIGUSR1);
        sent_.fetch_add(1);
      }
    });
  }
  ~SignalPester() {
    stop();
    sigaction(SIGUSR1, &saved_, nullptr);
  }
  SignalPester(const SignalPester &) = delete;
  SignalPester &operator=(const SignalPester &) = delete;

  void stop() {
    stop_.store(true);
    if (thread_.joinable()) {
      thread_.join();
    }
  }
  int sent() const { return sent_.load(); }

 private:
  pthread_t target_;
  struct sigaction saved_{};
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

}  // namespace osal_test
