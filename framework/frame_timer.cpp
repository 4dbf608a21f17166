#include "framework/frame_timer.h"

#include "platform_os/platform_timer.h"

FrameTimer::FrameTimer() : FrameTimer(&Platform::PerformanceCounter, Platform::PerformanceFrequency()) {}

FrameTimer::FrameTimer(Counter counter, int64_t ticksPerSecond)
    : counter(counter), ticksPerSecond(ticksPerSecond > 0 ? ticksPerSecond : 1) {
  Reset();
}

int64_t FrameTimer::Now() const { return stopped ? stopTicks : counter(); }

void FrameTimer::Reset() {
  const int64_t now = counter();
  baseTicks = now;
  lastElapsedTicks = now;
  stopTicks = 0;
  stopped = false;
  hasFrame = false;
  previousFrameTime = 0.0;
}

void FrameTimer::Start() {
  const int64_t now = counter();
  if (stopped) baseTicks += now - stopTicks;  // the stopped stretch does not count
  stopTicks = 0;
  lastElapsedTicks = now;
  stopped = false;
}

void FrameTimer::Stop() {
  if (stopped) return;
  const int64_t now = counter();
  stopTicks = now;
  lastElapsedTicks = now;
  stopped = true;
}

double FrameTimer::Time() const { return static_cast<double>(Now() - baseTicks) / static_cast<double>(ticksPerSecond); }

double FrameTimer::AbsoluteTime() const {
  return static_cast<double>(counter()) / static_cast<double>(ticksPerSecond);
}

float FrameTimer::ElapsedTime() {
  const int64_t now = Now();
  const double elapsed = static_cast<double>(now - lastElapsedTicks) / static_cast<double>(ticksPerSecond);
  lastElapsedTicks = now;
  // A counter read on another processor core may step back a little.
  return elapsed < 0.0 ? 0.0f : static_cast<float>(elapsed);
}

FrameTime FrameTimer::NextFrame(bool useConstantFrameTime, float constantFrameTime) {
  FrameTime frame;
  frame.absoluteTime = AbsoluteTime();
  frame.elapsed = ElapsedTime();
  if (useConstantFrameTime) {
    frame.elapsed = stopped ? 0.0f : constantFrameTime;
    frame.time = (hasFrame ? previousFrameTime : 0.0) + frame.elapsed;
  } else {
    frame.time = Time();
  }
  previousFrameTime = frame.time;
  hasFrame = true;
  return frame;
}
