#include "platform_os/interrupt_catcher.h"

#include <signal.h>

#include <atomic>

#include "platform_os/exit_removals.h"

namespace Platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// Two signals can be handled at once on two threads: the first to set caughtSignal is the
// request, any other ends the program.
std::atomic<int> caughtSignal{0};
std::atomic<bool> requested{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "set from the signal handler");
struct sigaction previousHandling[kSignalCount] = {};

// Removes the unfinished files, then lets the signal end the process with its default action:
// it is blocked while its handler runs, so the raise takes effect as the handler returns.
void RemoveFilesAndEnd(int signal) {
  RemoveExitRemovals();
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

extern "C" void OnEndingSignal(int signal) { RemoveFilesAndEnd(signal); }

extern "C" void OnInterrupt(int signal) {
  int none = 0;
  if (caughtSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed)) {
    requested.store(true, std::memory_order_relaxed);
    return;
  }
  RemoveFilesAndEnd(signal);
}

// No SA_RESTART: a call waiting in the kernel returns, so the program sees the request soon.
void Install(void (*handler)(int), struct sigaction* previous) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction before = {};
    sigaction(kSignals[i], nullptr, &before);
    // A signal the caller chose to ignore (nohup) stays ignored.
    if (before.sa_handler == SIG_IGN) {
      if (previous != nullptr) previous[i] = before;
      continue;
    }
    sigaction(kSignals[i], &action, previous != nullptr ? &previous[i] : nullptr);
  }
}

}  // namespace

void RemoveUnfinishedFilesOnSignals() { Install(OnEndingSignal, nullptr); }

InterruptCatcher::InterruptCatcher() {
  caughtSignal.store(0, std::memory_order_relaxed);
  requested.store(false, std::memory_order_relaxed);
  Install(OnInterrupt, previousHandling);
}

InterruptCatcher::~InterruptCatcher() {
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previousHandling[i], nullptr);
}

bool InterruptCatcher::Requested() const { return caughtSignal.load(std::memory_order_relaxed) != 0; }

int InterruptCatcher::Signal() const { return caughtSignal.load(std::memory_order_relaxed); }

const std::atomic<bool>& InterruptCatcher::Flag() const { return requested; }

const char* InterruptCatcher::SignalName() const {
  switch (Signal()) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "no signal";
  }
}

}  // namespace Platform
