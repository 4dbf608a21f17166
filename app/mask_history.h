#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <string>

class Dialog;

// The masks of the current samples' history: steps 1..n saved in the current session's folder as
// mask_humidity00.jpg and so on up to number n - 1. The samples keep their state from run to run,
// so what a second run bakes are later states of the same surface: a new run numbers its steps on
// from where the history ends, which keeps one consistent timeline on disk and on the step slider
// without throwing any saved step away. New samples (another model, another density) start a new
// history in a session folder of its own (WindowSessions), so no folder mixes two histories and
// none is ever moved aside. Window thread; the run or an opened session extends the history, new
// or freed samples end it.
class MaskHistory {
public:
  // The panel holding the step slider and its label; ended is called once the history has ended
  // (the views showing its masks let them go).
  MaskHistory(Dialog& panel, std::function<void()> ended) : panel(panel), ended(std::move(ended)) {}

  // The number of steps in the history, all three masks of each saved.
  int32_t Steps() const { return steps; }
  // The history now holds steps 0..count - 1: the step slider covers them and moves to the last.
  void Extend(int32_t count);
  // The samples the history belonged to are gone: no steps, the slider at rest, the views empty.
  void End();
  // "Step 3 of 6" under the step slider, or "No steps yet".
  void ShowStepLabel();

private:
  Dialog& panel;
  std::function<void()> ended;
  int32_t steps = 0;
};

// Removes the masks of one step number that a failed save left half done, in every mask space
// (regular files only).
void RemoveMasksOfStep(const std::string& folder, int32_t number);
