#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "simulation/patinex_process.h"
#include "simulation/simulation_params.h"
#include "simulation/splat_image.h"
#include "threadinglib/thread.h"

class LookChoice;
class MaskHistory;
class NumberBoxes;
class SceneView;
class StatusLine;
class SurfaceSamples;
class WindowPanels;
class WindowSessions;
class WorkModel;
struct MediaFolders;

// The "Weather"/"Stop" command and the life of a run: its thread and process, its parameter
// block, and what it reports. The run reads the model and the samples through its parameter block
// and reports through the atomics below, on its own threads; everything else here is the window
// thread's, changed only through these operations.
class SimulationRun {
public:
  SimulationRun(WorkModel& model, SurfaceSamples& samples, MaskHistory& history, SceneView& view,
                WindowPanels& panels, StatusLine& status, NumberBoxes& numbers, const MediaFolders& folders,
                WindowSessions& sessions, const LookChoice& looks);
  SimulationRun(const SimulationRun&) = delete;
  SimulationRun& operator=(const SimulationRun&) = delete;

  // Reads the number boxes and starts a run on the loaded model. When the samples are missing, a
  // new density waits or they are being made, the run waits for them (the button already reads
  // "Stop") and starts once they are in (StartQueued). The run writes into the current session,
  // numbering on from its last step, or into a new session when there is none it may write into.
  // A run that cannot start (no model, nowhere to save masks) says why in the status line.
  void Start();
  // Starts the run that waited for the samples, now that the sampling has finished.
  void StartQueued();
  // Drops a run that waits for its samples; the button reads "Weather" again.
  void CancelQueued();
  bool Queued() const { return queued; }
  // Asks a running run to stop (the frame collects it once it has ended), or drops one waiting
  // for its samples.
  void RequestStop();
  // Stops a running run and waits for its thread, then completes it as the collection does. Used
  // before anything the run reads is freed. Must not be called while holding the UI lock.
  void End(bool loadMasks = true);
  // Completes an ended run: refills the points (when there are samples), shows the last step of
  // the history, sets both strength sliders to 100, turns the button back to "Weather", says in
  // the status line how the run went and deletes the run's thread.
  void Collect(bool loadMasks = true);
  // Whether the run's thread has ended and waits to be collected.
  bool Finished() const { return finished.load(std::memory_order_acquire) != 0; }
  // Whether a run's thread exists (running, or ended and not yet collected), or a run waits for
  // its samples.
  bool Kept() const { return thread != nullptr || queued; }
  // Whether a run's thread exists.
  bool HasThread() const { return thread != nullptr; }
  // Whether a run is still going (kept and not yet finished).
  bool Running() const { return thread != nullptr && !Finished(); }

  // New samples at the density in use, shortly (once a running run has ended: the run reads the
  // samples). The status line says so.
  void RequestResample();
  // Starts sampling at the density in use, unless a run's thread is kept (it reads the samples).
  void StartResampling();
  // Cancels a sampling under way without waiting for it, and drops a run waiting for its samples.
  void CancelResampling();

  // Applies what the run reported since the last frame: the history grows by the steps saved,
  // the step slider follows (and the masks reload half a second later), and the status line shows
  // the run's step and how much of it is traced.
  void ApplyReports();

  // What the run has traced in its finished steps, and the steps whose masks were all saved.
  uint64_t Legs() const { return legs.load(std::memory_order_relaxed); }
  double TraceSeconds() const { return traceSeconds.load(std::memory_order_relaxed); }
  int32_t StepsSaved() const { return stepsSaved.load(std::memory_order_acquire); }
  const Simulation::SimulationParams& Params() const { return params; }

  // The longest time a stop waited for a run's thread to end, in seconds (for the tests and the
  // report).
  double LongestEndWait() const { return longestWait; }
  void ResetLongestEndWait() { longestWait = 0.0; }

private:
  // The run's reports, called on its threads: they only store into atomics (a failed save also
  // asks the run to stop).
  static void OnProgress(int32_t done, int32_t total, void* userData);
  static void OnStepFinished(const Simulation::StepReport& report, void* userData);

  void SetButtonText(const char* text);
  void NoRun(const std::string& activity, const std::string& detail);
  std::string MasksWentText() const;

  WorkModel& model;
  SurfaceSamples& samples;
  MaskHistory& history;
  SceneView& view;
  WindowPanels& panels;
  StatusLine& status;
  NumberBoxes& numbers;
  const MediaFolders& folders;
  WindowSessions& sessions;
  const LookChoice& looks;

  // The session folder the run writes into and the look its record names, which its parameter
  // block points at.
  std::string runFolder;
  std::string runLook;
  std::unique_ptr<ThreadingLib::Thread> thread;
  // Stored by the run (release) and loaded by the frame (acquire).
  std::atomic<uint8_t> finished{0};
  Simulation::SimulationParams params;
  Simulation::SplatImage splat;  // loaded at the start of every run
  Simulation::PatinexProcess process;
  // Reports of the run: the step finished last (-1: none yet), whether the step slider still has
  // to follow it, and the share of the step traced (-1: none).
  std::atomic<int32_t> lastStep{-1};
  std::atomic<bool> stepReportPending{false};
  std::atomic<float> tracedPercent{-1.0f};
  // What the run has traced in its finished steps: ton legs and the seconds the tracing took.
  std::atomic<uint64_t> legs{0};
  std::atomic<double> traceSeconds{0.0};
  // The run's steps, from its first, whose three masks were all saved; the step whose masks
  // were not (-1: none) and why (a mask_baking.h code). A failed save ends the run.
  std::atomic<int32_t> stepsSaved{0};
  std::atomic<int32_t> failedStep{-1};
  std::atomic<int32_t> maskError{0};
  // The run as started: its steps, the mask number of its first step, when it started and
  // whether the user asked it to stop.
  int32_t steps = 0;
  int32_t firstMaskNumber = 0;
  std::chrono::steady_clock::time_point startTime;
  bool stopAsked = false;
  // "Weather" was pressed while the samples were being made: the run starts once they are in.
  bool queued = false;
  // The notice that a density typed during the run waits for its end, until it applies.
  std::string waitingDensityNotice;
  double longestWait = 0.0;
};

// Why a mask was not saved, for the status line, from its mask_baking.h code.
std::string MaskErrorText(int32_t code);
