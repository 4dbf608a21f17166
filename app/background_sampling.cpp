#include "app/background_sampling.h"

#include <cstdio>
#include <new>
#include <string>

#include "app/background_job.h"
#include "platform_os/thread_platform.h"

namespace {
constexpr int32_t kSamplingPriority = -1;
}  // namespace

struct BackgroundSampling::Job {
  std::shared_ptr<const RenderLib::KdTree> kdTree;
  std::shared_ptr<const Simulation::Soup> mesh;
  int32_t density = 100;
  std::atomic<float> progress{0.0f};
  Simulation::SampleMapBuild result;  // the worker's until it is done
  BackgroundJob worker;               // last: it ends before what it works on goes

  void Run() {
    // Below the window thread, which goes on drawing meanwhile (the sampling's progress, for one).
    Platform::SetCurrentThreadPriority(kSamplingPriority);
    const Simulation::SamplingControl control{&progress, worker.CancelFlag(), kSamplingPriority};
    try {
      result = Simulation::BuildSampleMap(*kdTree, *mesh, density, nullptr, &control);
    } catch (const std::bad_alloc&) {
      result = Simulation::SampleMapBuild();
      result.outOfMemory = true;
    }
    // A map nobody will take is freed here rather than on the window thread; so is the model,
    // when the window has let go of it meanwhile.
    if (worker.Cancelled()) result.map.reset();
    kdTree.reset();
    mesh.reset();
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
  Job* raw = job.get();
  std::string why;
  if (!job->worker.Start([raw] { raw->Run(); }, &why)) {
    std::fprintf(stderr, "patinex: no thread for sampling the surface (%s)\n", why.c_str());
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
  // Without a thread the map goes here, with the job.
  if (!job->worker.Start([raw] { raw->result.map.reset(); })) return;
  cancelled.push_back(std::move(job));
}

void BackgroundSampling::Cancel() {
  ReapCancelled();
  if (!current) return;
  current->worker.Cancel();
  cancelled.push_back(std::move(current));
}

float BackgroundSampling::Progress() const {
  return current ? current->progress.load(std::memory_order_relaxed) : -1.0f;
}

bool BackgroundSampling::TakeFinished(Simulation::SampleMapBuild& finished) {
  ReapCancelled();
  if (!current || !current->worker.Reap()) return false;
  finished = std::move(current->result);
  current.reset();
  return true;
}

void BackgroundSampling::WaitForAll() {
  Cancel();
  for (std::unique_ptr<Job>& job : cancelled) job->worker.Wait();
  cancelled.clear();
}

void BackgroundSampling::ReapCancelled() {
  std::erase_if(cancelled, [](std::unique_ptr<Job>& job) { return job->worker.Reap(); });
}
