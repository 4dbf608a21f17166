#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/background_export.h"
#include "app/background_sampling.h"
#include "app/sample_points.h"
#include "app/scene_picture.h"
#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "framework/device_settings_dialog.h"
#include "framework/model_viewer_camera.h"
#include "platform/graphics_device.h"
#include "renderlib/kd_tree.h"
#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"
#include "simulation/patinex_process.h"
#include "simulation/sample_map.h"
#include "simulation/simulation_params.h"
#include "simulation/splat_image.h"
#include "threadinglib/critical_lock.h"
#include "threadinglib/thread.h"
#include "viewer/device_mesh.h"
#include "viewer/scene_effects.h"

// One entry of the model picker: its label and the model file behind it (empty: unload only).
struct ModelEntry {
  std::string label;
  std::string file;
};

// The application's one state. Everything here belongs to the window thread except what the
// comments hand to the run: the run reads the model and the samples through its parameter block
// and reports through the atomics.
struct ApplicationState {
  // The model in its three forms (modelLock), and as read: a device change rebuilds the device
  // mesh from it, keeping the model, its samples and a run across the change. A sampling under
  // way shares the traced forms, an export the model as read.
  std::shared_ptr<RenderLib::ObjModel> objModel;
  std::unique_ptr<Viewer::DeviceMesh> renderMesh;
  std::shared_ptr<RenderLib::TriangleSoup> triangleSoup;
  std::shared_ptr<RenderLib::KdTree> kdTree;
  // The samples and the points that show them (sampleLock; the points' contents also uiLock).
  // The points are kept on the CPU too, for a new device: a run may be changing the samples
  // themselves at that moment.
  std::unique_ptr<Simulation::SampleMap> sampleMap;
  SamplePoints samplePoints;
  float sampleSpacing = 0.0f;
  // New samples being made off the window thread; they replace sampleMap when done. Never
  // under way while a run is kept: a run reads the samples.
  BackgroundSampling sampling;
  // That sampling's progress, 0..100; -1 when none runs. The status line shows it as
  // "Resampling the surface: n %".
  std::atomic<int32_t> resamplingPercent{-1};
  // "Weather" was pressed while the samples were being made: the run starts once they are in.
  bool runQueued = false;
  // The aged asset being written for the Export button.
  BackgroundExport exporting;

  // The run. finished is stored by the run (release) and loaded by the frame (acquire).
  std::unique_ptr<ThreadingLib::Thread> simulationThread;
  std::atomic<uint8_t> simulationFinished{0};
  Simulation::SimulationParams simulationParams;
  Simulation::SplatImage splat;  // loaded at the start of every run
  Simulation::PatinexProcess process;
  // Reports of the run, applied by the window thread: the step finished last (-1: none yet),
  // whether the step slider still has to follow it, and the share of the step traced (-1: none).
  std::atomic<int32_t> runLastStep{-1};
  std::atomic<bool> stepReportPending{false};
  std::atomic<float> tracedPercent{-1.0f};
  // What the run has traced in its finished steps: ton legs and the seconds the tracing took.
  std::atomic<uint64_t> runLegs{0};
  std::atomic<double> runTraceSeconds{0.0};
  // The run's steps, from its first, whose three masks were all saved; the step whose masks
  // were not (-1: none) and why (a mask_baking.h code). A failed save ends the run.
  std::atomic<int32_t> runStepsSaved{0};
  std::atomic<int32_t> runFailedStep{-1};
  std::atomic<int32_t> runMaskError{0};
  // The run as started (window thread): its steps, the mask number of its first step, when it
  // started and whether the user asked it to stop.
  int32_t runSteps = 0;
  int32_t runFirstMaskNumber = 0;
  std::chrono::steady_clock::time_point runStart;
  bool runStopAsked = false;

  // Steps of the current samples' history whose masks are saved (mask_history.h), and whether its
  // first run moved earlier masks aside.
  int32_t maskHistorySteps = 0;
  bool earlierMasksMovedAside = false;

  int32_t density = 100;
  int32_t steps = 1;
  int32_t tonsPerStep = 1000;
  int32_t showSamples = 0;
  int meshView = 0;  // the view picker's model view (Shaded, Dirt, Rust) to go back to from Points
  float resampleCountdown = -1.0f;
  float maskReloadCountdown = -1.0f;
  bool referenceWarningChecked = false;

  // The model picker's entries (fixed ones, then dropped files) and the entry loaded (0: none).
  std::vector<ModelEntry> models;
  int loadedModel = 0;

  // Where the shipped media were found (empty: nowhere) and where masks are written and read
  // (empty: nowhere, for the reason given).
  std::string mediaFolder;
  std::string maskFolder;
  std::string maskFolderProblem;

  // Asked when Escape would quit during a run; true to quit. Replaceable for tests.
  bool (*confirmQuitDuringRun)() = nullptr;

  // Device objects (made at device creation, released at its destruction).
  Viewer::MeshEffect meshEffect;
  Viewer::PointEffect pointEffect;
  std::unique_ptr<Platform::ShaderResourceView> rustMaskView;
  std::unique_ptr<Platform::ShaderResourceView> dirtMaskView;
  // The scene as last drawn, and the count of changes to what it shows (MarkSceneChanged).
  ScenePicture scenePicture;
  uint64_t sceneVersion = 0;

  CModelViewerCamera camera;
  DialogResourceManager dialogResourceManager;
  // Shown instead of the scene while active; it keeps its own active flag and clears it on closing.
  CDeviceSettingsDialog settingsDialog;
  Dialog devicePanel;
  Dialog parametersPanel;
  Dialog simulationPanel;
};

ApplicationState& App();

// The three recursive locks, always taken in this order when nested.
ThreadingLib::CriticalLock& UiLock();
ThreadingLib::CriticalLock& ModelLock();
ThreadingLib::CriticalLock& SampleLock();

// Holds a CriticalLock for a scope.
class ScopedLock {
public:
  explicit ScopedLock(ThreadingLib::CriticalLock& lock) : lock(lock) { lock.Lock(); }
  ~ScopedLock() { lock.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

private:
  ThreadingLib::CriticalLock& lock;
};
