#include "host_thread.h"

namespace host {

void HostThread::Start(std::function<void()> idle, std::chrono::milliseconds every) {
  idle_ = std::move(idle);
  every_ = every;
  thread_ = std::thread([this] { Loop(); });
}

bool HostThread::Run(const std::function<void()>& job) {
  auto task = std::make_shared<std::packaged_task<void()>>(job);
  std::future<void> done = task->get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || !thread_.joinable()) return false;
    queue_.push_back(task);
  }
  wake_.notify_one();
  done.get();
  return true;
}

void HostThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void HostThread::Loop() {
  for (;;) {
    std::shared_ptr<std::packaged_task<void()>> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const bool woken = wake_.wait_for(lock, every_, [this] { return stopping_ || !queue_.empty(); });
      if (!woken) {
        lock.unlock();
        if (idle_) idle_();
        continue;
      }
      if (queue_.empty()) return;
      task = queue_.front();
      queue_.pop_front();
    }
    (*task)();
  }
}

}  // namespace host
