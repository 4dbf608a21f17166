#pragma once

// When a main loop that draws on demand owes the next frame: as soon as it has handled the
// messages waiting (after a message, or when asked for "now"), or at the earliest time a frame
// was asked for. Each frame starts with nothing asked for, so whatever keeps changing asks again.
// Times are absolute seconds of one monotonic clock.
class FrameSchedule {
public:
  void RequestNow() { now = true; }
  // A frame no later than the given time; the earliest of the requests counts.
  void RequestAt(double seconds);
  void FrameStarted();

  bool IsDue(double currentSeconds) const;
  // How long the loop may wait for messages before a frame is due, rounded up to whole
  // milliseconds so that it does not wake just short of the time; -1 when no frame is owed.
  int WaitMilliseconds(double currentSeconds) const;

private:
  bool now = true;  // the first frame is owed
  double at = 0.0;
  bool timed = false;
};
