#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "framework/device_settings_dialog.h"
#include "framework/model_viewer_camera.h"
#include "platform/graphics_device.h"
#include "renderlib/kd_tree.h"
#include "renderlib/triangle_soup_static_mesh.h"
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
  // The model in its three forms (modelLock).
  std::unique_ptr<Viewer::DeviceMesh> renderMesh;
  std::unique_ptr<RenderLib::TriangleSoupStaticMesh> triangleSoup;
  std::unique_ptr<RenderLib::KdTree> kdTree;
  // The samples and the points that show them (sampleLock; the buffer's contents also uiLock).
  std::unique_ptr<Simulation::SampleMap> sampleMap;
  std::unique_ptr<Platform::Buffer> sampleVertexBuffer;
  float sampleSpacing = 0.0f;

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
  // The highest step whose masks a run of the current model wrote in this session (-1: none);
  // older files in the mask folder belong to other runs or models.
  std::atomic<int32_t> highestWrittenStep{-1};

  int32_t density = 100;
  int32_t steps = 1;
  int32_t tonsPerStep = 1000;
  int32_t showSamples = 0;
  float resampleCountdown = -1.0f;
  float maskReloadCountdown = -1.0f;
  bool referenceWarningChecked = false;

  // The model picker's entries (fixed ones, then dropped files) and the entry loaded (0: none).
  std::vector<ModelEntry> models;
  int loadedModel = 0;

  // Where the shipped media were found (empty: nowhere) and where masks are written and read.
  std::string mediaFolder;
  std::string maskFolder;

  // Device objects (made at device creation, released at its destruction).
  Viewer::MeshEffect meshEffect;
  Viewer::PointEffect pointEffect;
  std::unique_ptr<Platform::ShaderResourceView> rustMaskView;
  std::unique_ptr<Platform::ShaderResourceView> dirtMaskView;

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
