#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "simulation/simulation_params.h"

namespace PatinexCli {

// How a run shows its progress on stderr: as text for people (a bar on a terminal, a line now
// and then otherwise), as JSON lines for programs, or not at all.
enum class ProgressStyle { kText, kJson, kQuiet };

// Shows how a weathering run advances. Steps are counted from 1 wherever they are shown. Called
// from one thread only.
class WeatherProgress {
public:
  // firstHistoryStep: the 1-based number, in the folder's history, of the run's first step
  // (after the session's last one when a run continues it).
  WeatherProgress(FILE* out, ProgressStyle style, int32_t steps, int32_t tonsPerStep, int32_t firstHistoryStep);

  // step: 0-based step of the run under way; tonsDone: its tons that have ended.
  void Update(int32_t step, int32_t tonsDone);
  // A step the run finished.
  void StepDone(const Simulation::StepReport& report);
  // A plain message that must not be mixed into the bar (the run is stopping).
  void Line(const char* text);
  // Leaves the bar's line, so whatever is printed next starts on a fresh one.
  void Finish();

private:
  using Clock = std::chrono::steady_clock;

  void ClearBar();

  FILE* out;
  ProgressStyle style;
  bool terminal;
  int32_t steps;
  int32_t tonsPerStep;
  int32_t firstHistoryStep;
  Clock::time_point start;
  Clock::time_point lastLine;
  bool barShown = false;
};

}  // namespace PatinexCli
