#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// One piece of work on a thread of its own, off the window thread: it can be asked to stop
// (the work reads Cancelled() at its own checks), says when it is done, and is joined once done
// or waited for. Started, taken and joined from one thread; the work runs on the job's.
class BackgroundJob {
public:
  BackgroundJob() = default;
  // Waits for the work: nothing it touches may go before it has ended.
  ~BackgroundJob() { Wait(); }
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // Runs work on a new thread. False, with the reason in why, when a job is started and not yet
  // joined or no thread can be started (the system's words); the work is then not run.
  bool Start(std::function<void()> work, std::string* why = nullptr);
  // Started and not yet joined.
  bool Started() const { return thread.joinable(); }
  // Asks the work to stop at its next check; does not wait.
  void Cancel() { cancelled.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancelled.load(std::memory_order_relaxed); }
  const std::atomic<bool>* CancelFlag() const { return &cancelled; }
  // The work has returned: what it wrote is seen (acquire).
  bool Done() const { return done.load(std::memory_order_acquire); }
  // Joins the thread once the work is done; false (and nothing joined) while it goes on.
  bool Reap();
  // Waits for the work, if started, and joins its thread.
  void Wait();

private:
  std::thread thread;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> done{false};
};
