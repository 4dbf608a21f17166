#pragma once

#include <cstdint>

#include "simulation/simulation_params.h"

// The "Weather"/"Stop" command and the life of a run, on the window thread unless noted.

// Starts a run on the loaded model; does nothing without a model. When the samples are missing,
// wait for a Density edit or are being made, the run waits for them (the button already reads
// "Stop") and starts once they are in (StartQueuedRun). A run that cannot start turns the button
// back to "Weather" with a message.
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
// Completes an ended run: refills the points (when there are samples), loads the masks of the
// last step the run wrote, sets both strength sliders to 100, turns the button back to
// "Weather", hides the progress line and deletes the run's thread.
void CollectFinishedRun(bool loadMasks = true);
// Whether a run's thread exists (running, or ended and not yet collected), or a run waits for
// its samples.
bool SimulationKept();

// Applies what the run reported since the last frame: the step slider follows the last finished
// step (and the masks reload half a second later) and the progress line shows the traced share.
void ApplyRunReports();

// The masks of a step, from the mask folder; a step no run of the current model wrote in this
// session leaves the views empty.
void LoadMaskViews(int32_t step);
void ReleaseMaskViews();

// The run's reports, called on its threads: they only store into atomics.
void OnSimulationProgress(int32_t done, int32_t total, void* userData);
void OnSimulationStepFinished(const Simulation::StepReport& report, void* userData);

// The longest time a stop waited for a run's thread to end, in seconds (for the tests and the
// report).
double LongestRunEndWait();
void ResetLongestRunEndWait();
