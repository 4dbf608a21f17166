#include "app/background_sampling.h"

#include <cstdio>
#include <new>
#include <system_error>

#include "platform_os/thread_platform.h"

namespace {
constexpr int32_t kSamplingPriority = -1;
}  // namespace

struct BackgroundSampling::Job {
  std::shared_ptr<const RenderLib::KdTree> kdTree;
  std::shared_ptr<const Simulation::Soup> mesh;
  int32_t density = 100;
  std::atomic<float> progress{0.0f};
  std::atomic<bool> cancel{false};
  // Set (release) by the thread once `result` is written.
  std::atomic<bool> finished{false};
  Simulation::SampleMapBuild result;
  std::thread thread;

  void Run() {
    // Below the window thread, which goes on drawing meanwhile (the sampling's progress, for one).
    Platform::SetCurrentThreadPriority(kSamplingPriority);
    const Simulation::SamplingControl control{&progress, &cancel, kSamplingPriority};
    try {
      result = Simulation::BuildSampleMap(*kdTree, *mesh, density, nullptr, &control);
    } catch (const std::bad_alloc&) {
      result = Simulation::SampleMapBuild();
      result.outOfMemory = true;
    }
    // A map nobody will take is freed here rather than on the window thread; so is the model,
    // when the window has let go of it meanwhile.
    if (cancel.load(std::memory_order_relaxed)) result.map.reset();
    kdTree.reset();
    mesh.reset();
    finished.store(true, std::memory_order_release);
  }
};

BackgroundSampling::BackgroundSampling() = default;

BackgroundSampling::~BackgroundSampling() { WaitForAll(); }

void BackgroundSampling::Start(std::shared_ptr<const RenderLib::KdTree> kdTree,
                               std::shared_ptr<const Simulation::Soup> mesh, int32_t density) {
  Cancel();
  auto job = std::make_unique<Job>();
  job->kdTree = std::move(kdTree);
  job->mesh = std::move(mesh);
  job->density = density;
  try {
    job->thread = std::thread(&Job::Run, job.get());
  } catch (const std::system_error& error) {
    std::fprintf(stderr, "patinex: no thread for sampling the surface (%s)\n", error.what());
    return;
  }
  current = std::move(job);
}

void BackgroundSampling::Discard(std::unique_ptr<Simulation::SampleMap> map) {
  ReapCancelled();
  if (!map) return;
  auto job = std::make_unique<Job>();
  job->result.map = std::move(map);
  Job* raw = job.get();
  try {
    job->thread = std::thread([raw] {
      raw->result.map.reset();
      raw->finished.store(true, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    return;  // no thread: the map goes here, with the job
  }
  cancelled.push_back(std::move(job));
}

void BackgroundSampling::Cancel() {
  ReapCancelled();
  if (!current) return;
  current->cancel.store(true, std::memory_order_relaxed);
  cancelled.push_back(std::move(current));
}

float BackgroundSampling::Progress() const {
  return current ? current->progress.load(std::memory_order_relaxed) : -1.0f;
}

bool BackgroundSampling::TakeFinished(Simulation::SampleMapBuild& finished) {
  ReapCancelled();
  if (!current || !current->finished.load(std::memory_order_acquire)) return false;
  current->thread.join();
  finished = std::move(current->result);
  current.reset();
  return true;
}

void BackgroundSampling::WaitForAll() {
  Cancel();
  for (std::unique_ptr<Job>& job : cancelled) job->thread.join();
  cancelled.clear();
}

void BackgroundSampling::ReapCancelled() {
  std::erase_if(cancelled, [](std::unique_ptr<Job>& job) {
    if (!job->finished.load(std::memory_order_acquire)) return false;
    job->thread.join();
    return true;
  });
}
