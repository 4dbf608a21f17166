#include "framework/pause_counters.h"

namespace {

void Count(bool add, int* counter) {
  if (add) {
    ++*counter;
  } else if (*counter > 0) {
    --*counter;
  }
}

}  // namespace

void PauseCounters::Pause(bool pauseTime, bool pauseRendering) {
  Count(pauseTime, &timeCount);
  Count(pauseRendering, &renderingCount);
}
