#pragma once

#include <cstdint>

// The time one frame sees: seconds since the timer started, the clock's absolute seconds, and
// the seconds since the previous frame.
struct FrameTime {
  double time = 0.0;
  double absoluteTime = 0.0;
  float elapsed = 0.0f;
};

// The frame timer: a stoppable clock over a monotonic counter. While stopped, time stands still
// and no time elapses.
class FrameTimer {
public:
  using Counter = int64_t (*)();
  // The platform's high-resolution counter.
  FrameTimer();
  // Any monotonic counter with its ticks per second (tests drive time by hand).
  FrameTimer(Counter counter, int64_t ticksPerSecond);

  void Reset();
  void Start();
  void Stop();
  bool IsStopped() const { return stopped; }

  double Time() const;
  double AbsoluteTime() const;
  // Seconds since the last call (or since Reset/Start/Stop); never negative.
  float ElapsedTime();

  // The next frame's time. With a constant frame time every frame advances by exactly that much,
  // unless the timer is stopped (a paused or minimised program stays still).
  FrameTime NextFrame(bool useConstantFrameTime, float constantFrameTime);

private:
  int64_t Now() const;

  Counter counter;
  int64_t ticksPerSecond;
  int64_t baseTicks = 0;
  int64_t lastElapsedTicks = 0;
  int64_t stopTicks = 0;
  bool stopped = false;
  bool hasFrame = false;
  double previousFrameTime = 0.0;
};
