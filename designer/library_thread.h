// LibraryThread: the one thread on which the designer's library objects
// live. The library's objects belong to the thread that made them (its
// script engine and translation connection are per thread), while the HTTP
// server answers on a pool of threads; every request that touches the
// document therefore runs its work here, one at a time, and waits for it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

namespace veldrane::designer {

class LibraryThread {
 public:
  LibraryThread() : thread_([this] { Loop(); }) {}
  ~LibraryThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  LibraryThread(const LibraryThread&) = delete;
  LibraryThread& operator=(const LibraryThread&) = delete;

  // Runs `work` on the library thread and returns its result; what it
  // throws is thrown here.
  template <class F>
  auto Call(F&& work) -> std::invoke_result_t<F> {
    std::packaged_task<std::invoke_result_t<F>()> task(std::forward<F>(work));
    auto result = task.get_future();
    {
      std::lock_guard lock(mutex_);
      queue_.emplace_back([&task] { task(); });
    }
    wake_.notify_one();
    return result.get();
  }

 private:
  void Loop() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      job();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;  // jobs waiting, oldest first
  bool stopping_ = false;
  std::thread thread_;                       // last: starts once the rest exists
};

}  // namespace veldrane::designer
