// The workbench's host thread: every request that touches the host runs here,
// one after the other in the order they came, as the module runs on the
// host's interface thread and is not thread-safe. The HTTP threads only
// queue the work and wait for it.
#ifndef HOST_SERVE_HOST_THREAD_H
#define HOST_SERVE_HOST_THREAD_H

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace host {

class HostThread {
 public:
  // `idle` runs on the thread whenever it has waited `every` with nothing to
  // do (the workbench's recovery copy is written from there).
  void Start(std::function<void()> idle = {}, std::chrono::milliseconds every = std::chrono::milliseconds(250));
  // Runs `job` on the host thread and waits for it; false (without running
  // it) once the thread is stopping. An exception of the job is rethrown here.
  bool Run(const std::function<void()>& job);
  // Lets the queued jobs finish, then ends the thread.
  void Stop();
  ~HostThread() { Stop(); }

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<std::packaged_task<void()>>> queue_;
  bool stopping_ = false;
  std::function<void()> idle_;
  std::chrono::milliseconds every_{250};
  std::thread thread_;
};

}  // namespace host

#endif
