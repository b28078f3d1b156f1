// One job at a time on a thread of its own, for work that can run beside the
// caller's: reading ahead, writing behind, putting a converted file in place.
// The thread starts with the first job; where no thread can be made, Start
// says so and the caller does the work itself.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace tessaly {

class BackgroundJob {
 public:
  BackgroundJob() = default;
  // Waits for a job in progress (what it throws is dropped).
  ~BackgroundJob();
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Starts `job` once the one before is done; false when no thread can be made.
  bool Start(std::function<void()> job);
  // Waits for the job started last, and throws again what it threw.
  void Wait();
  // A job was started and not waited for (the caller's own view).
  bool Busy() const { return busy_; }

 private:
  void Run();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;  // set while a job waits or runs
  std::exception_ptr failed_;
  bool stop_ = false;
  bool busy_ = false;
};

}  // namespace tessaly
