#pragma once

#include <cstdint>
#include <string>

#include "simulation/simulation_params.h"

// The "Weather"/"Stop" command and the life of a run, on the window thread unless noted.

// Reads the number boxes and starts a run on the loaded model. When the samples are missing, a
// new density waits or they are being made, the run waits for them (the button already reads
// "Stop") and starts once they are in (StartQueuedRun). A run that cannot start (no model,
// nowhere to save masks, the earlier masks not movable aside) says why in the status line.
void StartSimulation();
// Starts the run that waited for the samples, now that the sampling has finished.
void StartQueuedRun();
// Drops a run that waits for its samples; the button reads "Weather" again.
void CancelQueuedRun();
// Asks a running run to stop (the frame collects it once it has ended), or drops one waiting
// for its samples.
void RequestSimulationStop();
// Stops a running run and waits for its thread, then completes it as the collection does. Used
// before anything the run reads is freed. Must not be called while holding the UI lock.
void EndRunningSimulation(bool loadMasks = true);
// Completes an ended run: refills the points (when there are samples), shows the last step of the
// history, sets both strength sliders to 100, turns the button back to "Weather", says in the
// status line how the run went and deletes the run's thread.
void CollectFinishedRun(bool loadMasks = true);
// Whether a run's thread exists (running, or ended and not yet collected), or a run waits for
// its samples.
bool SimulationKept();
// Whether a run is still going (kept and not yet finished).
bool SimulationRunning();

// Applies what the run reported since the last frame: the history grows by the steps saved, the
// step slider follows (and the masks reload half a second later), and the status line shows the
// run's step and how much of it is traced.
void ApplyRunReports();

// The masks of a step of the history, from the mask folder; a step the history does not hold
// leaves the views empty.
void LoadMaskViews(int32_t step);
void ReleaseMaskViews();

// Why a mask was not saved, for the status line, from its mask_baking.h code.
std::string MaskErrorText(int32_t code);

// The run's reports, called on its threads: they only store into atomics (a failed save also
// asks the run to stop).
void OnSimulationProgress(int32_t done, int32_t total, void* userData);
void OnSimulationStepFinished(const Simulation::StepReport& report, void* userData);

// The longest time a stop waited for a run's thread to end, in seconds (for the tests and the
// report).
double LongestRunEndWait();
void ResetLongestRunEndWait();
