#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace PatinexCli {

// Shows how a weathering run advances: a bar redrawn in place when the output is a terminal,
// otherwise a plain line now and then, so logs stay readable. Called from one thread only.
class WeatherProgress {
public:
  WeatherProgress(FILE* out, int32_t steps, int32_t tonsPerStep);

  // step: 0-based step under way; tonsDone: its tons that have ended.
  void Update(int32_t step, int32_t tonsDone);
  // A plain line that must not be mixed into the bar (a finished step, a warning).
  void Line(const char* text);
  // Leaves the bar's line, so whatever is printed next starts on a fresh one.
  void Finish();

private:
  using Clock = std::chrono::steady_clock;

  void ClearBar();

  FILE* out;
  bool terminal;
  int32_t steps;
  int32_t tonsPerStep;
  Clock::time_point start;
  Clock::time_point lastLine;
  bool barShown = false;
};

}  // namespace PatinexCli
