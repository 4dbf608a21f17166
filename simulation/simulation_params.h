#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "renderlib/kd_tree.h"
#include "simulation/emission_source.h"
#include "simulation/mask_files.h"
#include "simulation/random_unit.h"
#include "simulation/sample_map.h"
#include "simulation/sampling_task.h"
#include "simulation/splat_image.h"
#include "threadinglib/critical_lock.h"

namespace Simulation {

class PatinexProcess;

// What a run may be asked for; the window's number boxes and the command line take these ranges.
inline constexpr int32_t kMinSteps = 1;
inline constexpr int32_t kMaxSteps = 1000;
inline constexpr int32_t kMinTonsPerStep = 1;
inline constexpr int32_t kMaxTonsPerStep = 1000000;
// The density is also the most samples a ton trades with, so it ends where the neighbour search does.
inline constexpr int32_t kMinDensity = 1;
inline constexpr int32_t kMaxDensity = kMaxNeighbours;

// What the run reports when a step has been traced, aged and baked.
struct StepReport {
  int32_t step = 0;    // 0-based
  int32_t steps = 0;   // of the run
  uint32_t tons = 0;   // shot in this step
  uint64_t legs = 0;   // ton legs run in this step
  double traceSeconds = 0.0;  // shooting and tracing the tons
  double ageSeconds = 0.0;    // the per-step ageing of the samples
  double bakeSeconds = 0.0;   // baking and saving the three masks, waiting for the UI lock included
  int32_t masks = 3;          // the step makes: three for each mask space
  int32_t masksSaved = 0;     // of those
  int32_t maskError = 0;      // the code of the first mask that failed (mask_baking.h), 0 when all were saved
  float emissionRotation = 0.0f;  // the run's random turn of the emission points, in radians
  // What made the step fail and end the run ("out of memory while tracing the tons"), or none.
  const char* failure = nullptr;
};

// Called from the tracing workers with the number of the step's tons that have ended and the
// step's tons; must be quick and thread-safe.
using ProgressFunction = void (*)(int32_t done, int32_t total, void* userData);
// Called from the run's thread after each completed step (not for a step that was stopped), and
// for a step that failed and ended the run (report.failure says why). Must not allocate memory
// after a failure: the failure may be that there is none.
using StepFinishedFunction = void (*)(const StepReport& report, void* userData);

// The parameter block of a run. Thread::Start copies it byte for byte, so it stays a plain
// record; the pointers in it are shared with whoever started the run.
struct SimulationParams {
  const RenderLib::KdTree* kdTree = nullptr;  // over mesh
  const Soup* mesh = nullptr;
  SampleMap* sampleMap = nullptr;  // the samples whose quantities the run changes
  int32_t steps = 1;               // kMinSteps..kMaxSteps
  int32_t tonsPerStep = 1000;      // kMinTonsPerStep..kMaxTonsPerStep
  uint32_t maskWidth = 1024;
  uint32_t maskHeight = 1024;
  float sampleSpacing = 0.0f;  // the grid spacing the samples were placed at
  ThreadingLib::CriticalLock* uiLock = nullptr;  // held while the masks of a step are written
  ProgressFunction progress = nullptr;
  PatinexProcess* process = nullptr;         // set by the run; the progress hook reads its stop flag
  std::atomic<uint8_t>* finished = nullptr;  // 0 while a run is under way, 1 once it has ended
  // What every sample stamps into the masks, kept by the starter until the run has ended; none
  // (or an empty image) and the run saves no masks.
  const SplatImage* splat = nullptr;

  int32_t density = 100;  // the sampling density (kMinDensity..kMaxDensity): the most samples a ton trades with
  StepFinishedFunction stepFinished = nullptr;
  void* userData = nullptr;  // handed to progress and stepFinished
  // Where the masks go: FOLDER/mask_humidity%02d.jpg and so on (MaskFileName, one set for each of
  // the sample map's mask spaces); nullptr means "media".
  const char* maskFolder = nullptr;
  // The model's file, named in the folder's run record (run_record.h); may be none.
  const char* modelName = nullptr;
  // The look the run record names for later exports (a look's name or file); null or empty:
  // the one a continued history's record names, else none (the shipped bronze).
  const char* look = nullptr;
  // The number in the mask file names of the run's first step; a run that goes on with samples
  // an earlier run aged numbers its steps after that run's.
  int32_t firstMaskNumber = 0;
  // Tracing workers; 0 means one per processor. One worker makes a run reproducible.
  int32_t workerCount = 0;
  int32_t maskFormat = kMaskJpeg;
  // When seeded is set, the run restarts its random streams (emission rotation, the workers'
  // streams, splat jitter) from seed, so one worker repeats a run exactly; otherwise the streams
  // go on from where the last run left them.
  //
  // A seeded run restarts the streams again at every step, from the seed and the step's number
  // (StepSeed), so that a step draws the same numbers whether the run that makes it started at
  // step 0 or continued a kept session.
  uint32_t seed = RandomStream::kDefaultSeed;
  bool seeded = false;
  // A reproducible run: with seeded, the same inputs and seed give the same samples and masks,
  // byte for byte, on any number of workers (PatinexProcess::SpawnTons says how). Tons of one
  // batch do not see each other's trades, so its results differ from a default run's.
  bool deterministic = false;
  // Set for a run that continues a kept session (session_file.h): its tons start from the
  // history's emission points where the last step left them (emissionsUsed of them used, turned
  // by emissionRotation) instead of a fresh turn, as the run that wrote the session would have.
  bool resumed = false;
  float emissionRotation = 0.0f;
  uint64_t emissionsUsed = 0;
  // The side the weather comes from; a continued run keeps its history's.
  EmissionSource source;
};

static_assert(std::is_trivially_copyable_v<SimulationParams>);

}  // namespace Simulation
