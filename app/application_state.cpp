#include "app/application_state.h"

namespace {
// The locks outlive the state: a run still reporting at exit finds them.
ThreadingLib::CriticalLock uiLock;
ThreadingLib::CriticalLock modelLock;
ThreadingLib::CriticalLock sampleLock;
}  // namespace

ApplicationState& App() {
  static ApplicationState state;
  return state;
}

ThreadingLib::CriticalLock& UiLock() { return uiLock; }
ThreadingLib::CriticalLock& ModelLock() { return modelLock; }
ThreadingLib::CriticalLock& SampleLock() { return sampleLock; }
