#include "io/background.h"

#include <utility>

namespace tessaly {

BackgroundJob::~BackgroundJob() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool BackgroundJob::Start(std::function<void()> job) {
  Wait();
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::exception&) {
      return false;  // a limit on threads or on memory
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
  }
  busy_ = true;
  changed_.notify_all();
  return true;
}

void BackgroundJob::Wait() {
  if (!busy_) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !job_; });
  busy_ = false;
  if (failed_) std::rethrow_exception(std::exchange(failed_, nullptr));
}

void BackgroundJob::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stop_ || job_; });
    if (stop_) return;
    lock.unlock();
    std::exception_ptr failed;
    try {
      job_();  // the caller leaves job_ alone while it is set
    } catch (...) {
      failed = std::current_exception();  // thrown again by Wait
    }
    lock.lock();
    failed_ = failed;
    job_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace tessaly
