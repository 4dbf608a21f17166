#include "framework/frame_schedule.h"

#include <cmath>
#include <limits>

void FrameSchedule::RequestAt(double seconds) {
  if (!timed || seconds < at) at = seconds;
  timed = true;
}

void FrameSchedule::FrameStarted() {
  now = false;
  timed = false;
}

bool FrameSchedule::IsDue(double currentSeconds) const { return now || (timed && currentSeconds >= at); }

int FrameSchedule::WaitMilliseconds(double currentSeconds) const {
  if (IsDue(currentSeconds)) return 0;
  if (!timed) return -1;
  const double milliseconds = std::ceil((at - currentSeconds) * 1000.0);
  return milliseconds >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                          : static_cast<int>(milliseconds);
}
