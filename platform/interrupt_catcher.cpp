#include "platform/interrupt_catcher.h"

#include <signal.h>

#include <csignal>

namespace Platform {
namespace {

volatile std::sig_atomic_t interruptRequested = 0;
struct sigaction previousHandling = {};

extern "C" void OnInterrupt(int) { interruptRequested = 1; }

}  // namespace

InterruptCatcher::InterruptCatcher() {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;  // the second interrupt meets the default handling
  sigemptyset(&action.sa_mask);
  interruptRequested = 0;
  sigaction(SIGINT, &action, &previousHandling);
}

InterruptCatcher::~InterruptCatcher() { sigaction(SIGINT, &previousHandling, nullptr); }

bool InterruptCatcher::Requested() const { return interruptRequested != 0; }

}  // namespace Platform
