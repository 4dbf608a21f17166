#include "app/background_job.h"

#include <system_error>
#include <utility>

bool BackgroundJob::Start(std::function<void()> work, std::string* why) {
  if (Started()) {
    if (why != nullptr) *why = "the job before has not been joined";
    return false;
  }
  cancelled.store(false, std::memory_order_relaxed);
  done.store(false, std::memory_order_relaxed);
  try {
    thread = std::thread([this, work = std::move(work)] {
      work();
      done.store(true, std::memory_order_release);
    });
  } catch (const std::system_error& error) {
    if (why != nullptr) *why = error.what();
    return false;
  }
  return true;
}

bool BackgroundJob::Reap() {
  if (!Started() || !Done()) return false;
  thread.join();
  return true;
}

void BackgroundJob::Wait() {
  if (Started()) thread.join();
}
