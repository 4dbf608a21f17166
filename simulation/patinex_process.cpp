#include "simulation/patinex_process.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "simulation/block_arena.h"
#include "simulation/emission_points.h"
#include "simulation/mask_baking.h"
#include "simulation/mask_spaces.h"
#include "simulation/random_unit.h"
#include "simulation/run_record.h"
#include "simulation/session_file.h"
#include "simulation/surface_ageing.h"
#include "threadinglib/scoped_critical_lock.h"

namespace Simulation {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kMaxEmissionPoints = 1000000;

// A batch's recorded trades applied to the samples of one slot range. The ranges of a batch are
// disjoint, so they are applied on all workers at once, and every sample still takes its trades
// in the tons' order.
class ApplyTradesTask final : public ThreadingLib::Task {
public:
  // Never resubmits itself, so it needs no pool of its own.
  ApplyTradesTask() : Task(nullptr) {}
  void Run(uint32_t /*context*/) override {
    for (size_t i = first; i < end; ++i) TradeLog::Apply(tons[i]->trades, samples, firstSlot, endSlot);
  }
  uint32_t Prepare() override { return 0; }

  TraceTask* const* tons = nullptr;
  size_t first = 0;
  size_t end = 0;
  TradedSample* samples = nullptr;
  uint32_t firstSlot = 0;
  uint32_t endSlot = 0;
};

// At most this many slot ranges, one for each worker.
constexpr int32_t kMaxTradeRanges = 16;

double SecondsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

void SetFinished(const SimulationParams& params, uint8_t value) {
  if (params.finished != nullptr) params.finished->store(value, std::memory_order_release);
}

std::string MaskFolderOf(const SimulationParams& params) {
  if (params.maskFolder == nullptr) return "media";
  return *params.maskFolder == '\0' ? "." : params.maskFolder;
}

// The record this run keeps up to date. A run that goes on with an earlier run's samples
// (firstMaskNumber > 0) extends the folder's record when it is of this history; otherwise the
// record lists this run's steps only, so that whatever else the folder holds is not taken for
// part of it.
RunRecord StartRunRecord(const SimulationParams& params) {
  RunRecord record;
  HistoryIdentity& id = record.identity;
  if (params.modelName != nullptr) id.modelName = std::filesystem::path(params.modelName).filename().string();
  id.modelChecksum = ModelChecksum(*params.mesh);
  id.maskWidth = params.maskWidth;
  id.maskHeight = params.maskHeight;
  id.maskFormat = params.maskFormat;
  id.density = params.density;
  const MaskSpaces spaces = AssignMaskSpaces(*params.mesh);
  id.maskSpaces = spaces.count;
  record.spaceMaterials.resize(size_t(spaces.count));
  const std::vector<RenderLib::MaterialHandle>& materials = params.mesh->Materials();
  for (size_t m = 0; m < spaces.spaceOfMaterial.size() && m < materials.size(); ++m) {
    const char* name = materials[m] ? materials[m]->name : "";
    record.spaceMaterials[size_t(spaces.spaceOfMaterial[m])].push_back(name);
  }
  RunRecord found;
  std::string error;
  if (params.firstMaskNumber > 0 && ReadRunRecord(MaskFolderOf(params), &found, &error) == RecordState::kFound &&
      id.Difference(found.identity).empty()) {
    record.look = found.look;
    for (const RecordedStep& step : found.steps) {
      if (step.step < params.firstMaskNumber) record.steps.push_back(step);
    }
  }
  if (params.look != nullptr && *params.look != '\0') record.look = params.look;
  return record;
}

// Keeps what a continuation needs beside the masks; a step whose session could not be saved is
// said, and the session left is that of the step before (a continuation repeats this step).
void KeepSession(const SimulationParams& params, const RunRecord& record, int32_t step, float rotation,
                 uint64_t emissionsUsed) {
  SessionState state;
  state.identity = record.identity;
  state.lastStep = step;
  state.tonsPerStep = params.tonsPerStep;
  state.seed = params.seed;
  state.seeded = params.seeded;
  state.deterministic = params.deterministic;
  state.emissionRotation = rotation;
  state.emissionsUsed = emissionsUsed;
  state.source = params.source;
  state.sampleSpacing = params.sampleSpacing;
  const std::string path = (std::filesystem::path(MaskFolderOf(params)) / kSessionName).string();
  std::string error;
  if (!WriteSessionFile(path, params.sampleMap->Items(), params.sampleMap->Count(), state, &error)) {
    std::fprintf(stderr, "The session of step %d was not saved, so it cannot be continued from: %s\n", step,
                 error.c_str());
  }
}

}  // namespace

uint32_t StepSeed(uint32_t seed, int32_t step) {
  uint64_t z = (uint64_t(seed) << 32 | uint32_t(step)) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return uint32_t(z ^ (z >> 31));
}

int32_t PatinexProcess::Run(void* parameters) {
  if (parameters == nullptr) {
    std::fprintf(stderr, "Nothing to weather: the run was given no parameters.\n");
    return 0;
  }
  SimulationParams& params = *static_cast<SimulationParams*>(parameters);
  SetFinished(params, 0);
  params.process = this;
  if (params.kdTree == nullptr || params.mesh == nullptr || params.sampleMap == nullptr) {
    std::fprintf(stderr, "Nothing to weather: the run needs a model, its kd-tree and its samples.\n");
    SetFinished(params, 1);
    return 0;
  }
  // The starters clamp these already; a run must not allocate from a wild value either way.
  params.steps = std::clamp(params.steps, 1, 1000);
  params.tonsPerStep = std::clamp(params.tonsPerStep, 1, 1000000);

  // Memory may run out anywhere, here or on the tracing workers (the pool hands their failure
  // on): the step under way fails, says so, and the run ends.
  Progress progress;
  try {
    RunSteps(params, progress);
  } catch (const std::bad_alloc&) {
    stepTasks.clear();
    StepReport report;
    report.step = progress.step;
    report.steps = params.steps;
    report.failure = progress.doing;
    std::fprintf(stderr, "Step %d of %d failed, %s; the run ends.\n", progress.step + 1, params.steps, progress.doing);
    if (params.stepFinished != nullptr) params.stepFinished(report, params.userData);
  }
  SetFinished(params, 1);
  return 0;
}

void PatinexProcess::RunSteps(SimulationParams& params, Progress& progress) {
  progress.doing = "out of memory while starting the run";
  ThreadingLib::ThreadPool pool;
  const bool poolCreated = params.workerCount > 0 ? pool.Create(params.workerCount, params.workerCount, -2)
                                                  : pool.CreateForProcessors(-2);
  if (!poolCreated) std::fprintf(stderr, "The tracing workers could not be started; the run only ages the samples.\n");

  // A seeded run restarts every random stream it draws from, so that it can be repeated.
  if (params.seeded) SeedRandomStreams(params.seed);

  // The emission directions are made once per history and turned about the source's axis by one
  // random angle, so runs differ while each covers the source's cone evenly. Point j of the set
  // depends on j alone, so a continued run makes the set its history would have made and goes
  // on from the point the last step left.
  const uint64_t firstEmission = params.resumed ? params.emissionsUsed : 0;
  const uint32_t count = uint32_t(std::min<uint64_t>(
      firstEmission + uint64_t(params.steps) * uint64_t(params.tonsPerStep), kMaxEmissionPoints));
  std::unique_ptr<float[]> points = std::make_unique<float[]>(3 * static_cast<size_t>(count));
  const float rotation = params.resumed ? params.emissionRotation : RandomUnit() * (2.0f * 3.1415927f);
  const EmissionGeometry geometry = EmissionGeometryFor(params.mesh->GetBoundingBox(), params.source);
  MakeEmissionPoints(points.get(), count, rotation, geometry);

  const SplatImage noSplat;
  RunRecord record = StartRunRecord(params);
  // Room for a step's mask names and codes: three for each mask space.
  const int32_t spaceCount = std::max(params.sampleMap->SpaceCount(), 1);
  std::vector<std::string> names(3 * size_t(spaceCount));
  std::vector<const char*> fileNames(names.size());
  std::vector<int32_t> codes(names.size());
  stepTasks.reserve(static_cast<size_t>(params.tonsPerStep));
  uint32_t nextPoint = uint32_t(3 * (firstEmission % count));
  emissionsUsed = firstEmission;
  for (int32_t step = 0; step < params.steps; ++step) {
    if (StopRequested()) break;
    progress.step = step;
    if (params.seeded) SeedRandomStreams(StepSeed(params.seed, params.firstMaskNumber + step));
    // The tons' own streams: from the seed and the step's number in a seeded run.
    tonSeed = params.seeded ? StepSeed(params.seed, params.firstMaskNumber + step) : ThreadRandomStream().Next();
    StepReport report;
    report.step = step;
    report.steps = params.steps;
    report.emissionRotation = rotation;

    progress.doing = "out of memory while tracing the tons";
    const Clock::time_point traceStart = Clock::now();
    const TonCounts shot = SpawnTons(pool, points.get(), nextPoint, 3 * count, geometry.aim, geometry.radius, params);
    report.tons = shot.tons;
    report.legs = shot.legs;
    const Clock::time_point traced = Clock::now();
    if (!StopRequested()) AgeSamples(*params.sampleMap);
    const Clock::time_point aged = Clock::now();
    if (StopRequested()) break;

    progress.doing = "out of memory while baking the masks";
    {
      // Held, when there is one, also when memory runs out during the bake.
      const ThreadingLib::ScopedCriticalLock hold(params.uiLock);
      // The three masks of every mask space in one pass over the samples.
      for (int32_t space = 0; space < spaceCount; ++space) {
        for (const MaskChannel channel : kMaskChannels) {
          names[size_t(3 * space + int32_t(channel))] = MaskFileName(
              params.maskFolder, channel, params.firstMaskNumber + step, params.maskFormat, space);
          fileNames[size_t(3 * space + int32_t(channel))] = names[size_t(3 * space + int32_t(channel))].c_str();
        }
      }
      report.masks = 3 * spaceCount;
      report.masksSaved += BakeAndSaveSpaceMasks(fileNames.data(), spaceCount, params.maskWidth, params.maskHeight,
                                                 *params.sampleMap, params.sampleSpacing,
                                                 params.splat != nullptr ? *params.splat : noSplat, codes.data(),
                                                 &StopFlag());
      for (const int32_t code : codes) {
        if (report.maskError == 0) report.maskError = code;
      }
    }
    // A stop during the bake saved nothing of the step, as a stop before it would.
    if (StopRequested()) break;
    if (report.masksSaved == report.masks) {
      RecordedStep saved;
      saved.step = params.firstMaskNumber + step;
      saved.tons = params.tonsPerStep;
      if (params.seeded) saved.seed = params.seed;
      saved.deterministic = params.deterministic;
      saved.source = params.source;
      record.steps.push_back(saved);
      std::string error;
      if (!WriteRunRecord(MaskFolderOf(params), record, &error)) {
        std::fprintf(stderr, "The run record of step %d was not saved: %s\n", saved.step, error.c_str());
      }
      KeepSession(params, record, saved.step, rotation, emissionsUsed);
    }

    report.traceSeconds = SecondsBetween(traceStart, traced);
    report.ageSeconds = SecondsBetween(traced, aged);
    report.bakeSeconds = SecondsBetween(aged, Clock::now());
    if (params.stepFinished != nullptr) params.stepFinished(report, params.userData);
  }
}

PatinexProcess::TonCounts PatinexProcess::SpawnTons(ThreadingLib::ThreadPool& pool, const float* points,
                                                    uint32_t& nextPoint, uint32_t pointFloats,
                                                    const RenderLib::Vector3& aim, float radius,
                                                    SimulationParams& params) {
  std::vector<TraceTask*>& tasks = stepTasks;
  tasks.clear();
  tonsQueued = 0;
  tradeLog.Clear();  // a step that ran out of memory may have left some
  BlockArena arena(static_cast<uint32_t>(params.tonsPerStep), sizeof(TraceTask), alignof(TraceTask));

  TraceTask ton(&pool);
  StartTon(ton, aim, radius, params, &arena);
  if (params.deterministic) ton.tradeLog = &tradeLog;
  // The tons trade with the map's traded copies; the records have the quantities back when
  // the step is over or called off.
  const TradingWindow trading(*params.sampleMap);

  pool.completionCallback = &PatinexProcess::TraceProgress;
  pool.completionUserData = &params;
  const int32_t batch = params.deterministic ? kTonsPerBatch : params.tonsPerStep;
  bool shooting = true;
  for (int32_t first = 0; shooting && first < params.tonsPerStep; first += batch) {
    const size_t batchStart = tasks.size();
    const int32_t end = std::min(params.tonsPerStep, first + batch);
    for (int32_t t = first; t < end; ++t) {
      if (StopRequested()) {
        pool.CancelAll();
        pool.completionCallback = nullptr;
        pool.completionUserData = nullptr;
        tasks.clear();
        tradeLog.Clear();
        return {};
      }
      const float* start = points + nextPoint;
      nextPoint = (nextPoint + 3) % pointFloats;
      ++emissionsUsed;
      TraceTask* task = arena.Create<TraceTask>(ton);
      if (task == nullptr) {
        std::fprintf(stderr, "Out of memory after %d of %d tons; the step shoots those.\n", t, params.tonsPerStep);
        shooting = false;
        break;
      }
      task->position = {start[0], start[1], start[2]};
      task->random = TonRandom::For(tonSeed, uint32_t(t));
      if (!pool.Add(task)) {  // no workers: the step only ages the samples
        shooting = false;
        break;
      }
      tasks.push_back(task);
      ++tonsQueued;
    }
    pool.RunAndWait();
    pool.CancelAll();
    if (StopRequested()) break;
    if (params.deterministic) {
      ApplyTrades(pool, batchStart, tasks.size(), *params.sampleMap);
      tradeLog.Clear();
    }
  }
  tradeLog.Clear();
  pool.completionCallback = nullptr;
  pool.completionUserData = nullptr;

  TonCounts counts;
  counts.tons = static_cast<uint32_t>(tasks.size());
  for (const TraceTask* task : tasks) counts.legs += task->legs;
  tasks.clear();  // they die with the arena
  return counts;
}

void PatinexProcess::ApplyTrades(ThreadingLib::ThreadPool& pool, size_t first, size_t end, SampleMap& map) {
  const uint32_t ranges = uint32_t(std::clamp(pool.WorkerCount(), 1, kMaxTradeRanges));
  ApplyTradesTask tasks[kMaxTradeRanges];
  for (uint32_t r = 0; r < ranges; ++r) {
    ApplyTradesTask& task = tasks[r];
    task.tons = stepTasks.data();
    task.first = first;
    task.end = end;
    task.samples = map.Traded();
    task.firstSlot = uint32_t(uint64_t(map.Count()) * r / ranges);
    task.endSlot = uint32_t(uint64_t(map.Count()) * (r + 1) / ranges);
  }
  if (ranges == 1) {
    tasks[0].Run(0);
    return;
  }
  // Every range is applied whole: no progress to report, and a stop waits the moment it takes.
  const ThreadingLib::ThreadPool::CompletionCallback callback = pool.completionCallback;
  pool.completionCallback = nullptr;
  for (uint32_t r = 0; r < ranges; ++r) {
    pool.Add(&tasks[r]);
  }
  pool.RunAndWait();
  pool.completionCallback = callback;
}

void PatinexProcess::StartTon(TraceTask& ton, const RenderLib::Vector3& aim, float radius,
                              const SimulationParams& params, BlockArena* arena) {
  ton.state = kBounce;
  ton.pBounce = ton.pScatter = ton.pFlow = 0.8f;
  ton.carriedHumidity = 0.1f;
  ton.carriedDirt = 0.2f;
  ton.carriedRust = 0.0f;
  ton.searchRadius = radius * 0.1f;
  ton.maxNeighbours = std::clamp(params.density, 1, kMaxNeighbours);
  ton.target = aim;
  ton.kdTree = params.kdTree;
  ton.mesh = params.mesh;
  ton.sampleMap = params.sampleMap;
  ton.arena = arena;
  ton.normal = {0.0f, 0.0f, 0.0f};
  ton.sampleSpacing = params.sampleSpacing;
  ton.legs = 0;
  ton.tradeLog = nullptr;
  ton.trades = {};
}

bool PatinexProcess::TraceProgress(ThreadingLib::ThreadPool* pool, ThreadingLib::Task* /*task*/, void* userData) {
  const SimulationParams& params = *static_cast<const SimulationParams*>(userData);
  if (params.process->StopRequested()) return false;
  const int32_t pending = pool->PendingCount();
  if (pending % 100 == 0 && params.progress != nullptr) {
    params.progress(params.process->tonsQueued - pending, params.tonsPerStep, params.userData);
  }
  return true;
}

uint64_t RunBytes(int32_t steps, int32_t tonsPerStep, uint64_t samples) {
  const uint64_t points = std::min<uint64_t>(uint64_t(std::max(steps, 1)) * uint64_t(std::max(tonsPerStep, 1)),
                                             kMaxEmissionPoints);
  return points * 3 * sizeof(float) + uint64_t(std::max(tonsPerStep, 1)) * (sizeof(TraceTask) + sizeof(TraceTask*)) +
         samples * sizeof(TradedSample);
}

}  // namespace Simulation
