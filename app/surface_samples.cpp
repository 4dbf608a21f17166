#include "app/surface_samples.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/mask_history.h"
#include "app/status_line.h"
#include "framework/framework.h"
#include "threadinglib/scoped_critical_lock.h"

using ThreadingLib::ScopedCriticalLock;

SurfaceSamples::SurfaceSamples(StatusLine& status, MaskHistory& history, ThreadingLib::CriticalLock& uiLock,
                               std::function<void()> changed)
    : status(status), history(history), uiLock(uiLock), changed(std::move(changed)) {}

void SurfaceSamples::Release() {
  {
    ScopedCriticalLock hold(lock);
    sampleMap.reset();
    samplePoints.Release();
  }
  changed();
  // The masks were the history of these samples.
  history.End();
}

void SurfaceSamples::Adopt(std::unique_ptr<Simulation::SampleMap> map, float spacing) {
  {
    ScopedCriticalLock hold(lock);
    sampleMap = std::move(map);
    sampleSpacing = sampleMap ? spacing : 0.0f;
  }
  FillPoints();
}

void SurfaceSamples::Start(std::shared_ptr<const RenderLib::KdTree> kdTree, std::shared_ptr<const Simulation::Soup> soup,
                           int32_t density) {
  sampling.Start(std::move(kdTree), std::move(soup), density);
  resamplingPercent.store(UnderWay() ? 0 : -1, std::memory_order_relaxed);
}

void SurfaceSamples::Cancel() {
  sampling.Cancel();
  resamplingPercent.store(-1, std::memory_order_relaxed);
}

bool SurfaceSamples::CountDownRequest(float elapsedSeconds) {
  if (requestCountdown <= 0.0f) return false;
  requestCountdown = std::max(0.0f, requestCountdown - elapsedSeconds);
  return requestCountdown == 0.0f;
}

bool SurfaceSamples::TakeFinished(int32_t density) {
  const float share = sampling.Progress();
  resamplingPercent.store(share < 0.0f ? -1 : static_cast<int32_t>(share * 100.0f), std::memory_order_relaxed);
  Simulation::SampleMapBuild build;
  if (!sampling.TakeFinished(build)) return false;
  resamplingPercent.store(-1, std::memory_order_relaxed);
  char text[96];
  if (build.outOfMemory) {
    std::fprintf(stderr, "patinex: out of memory while sampling the surface at density %d\n", density);
    std::snprintf(text, sizeof text, "Sampling at density %d ran out of memory.", density);
    status.SetActivity(text);
    status.SetDetail("A lower density needs less.");
    build.map.reset();
  } else if (!build.map || build.map->Count() == 0) {
    std::fprintf(stderr, "patinex: sampling the surface found no samples\n");
    status.SetActivity("Sampling found no surface on the model.");
    status.SetDetail("");
    build.map.reset();
  } else {
    std::snprintf(text, sizeof text, "Sampled the surface: %u points at density %d.", build.map->Count(), density);
    status.SetActivity(text);
    status.SetDetail("");
  }
  std::unique_ptr<Simulation::SampleMap> replaced;
  {
    ScopedCriticalLock hold(lock);
    replaced = std::move(sampleMap);
    sampleMap = std::move(build.map);
    sampleSpacing = sampleMap ? build.spacing : 0.0f;
  }
  sampling.Discard(std::move(replaced));
  // The masks were the history of the samples replaced.
  history.End();
  FillPoints();
  return true;
}

void SurfaceSamples::FillPoints() {
  {
    ScopedCriticalLock ui(uiLock);
    ScopedCriticalLock samples(lock);
    samplePoints.Reset(sampleMap ? sampleMap->Count() : 0);
  }
  changed();
  FrameworkRequestFrame();
}

void SurfaceSamples::WritePoints(bool runKept) {
  Platform::GraphicsDevice* device = FrameworkGetDevice();
  ScopedCriticalLock ui(uiLock);
  ScopedCriticalLock samples(lock);
  // A run changes the samples as it goes: while one is kept, only the CPU copy goes to the device.
  const bool steady = !runKept;
  if (device == nullptr || !sampleMap || !samplePoints.WritingLeft(steady)) return;
  samplePoints.WriteSome(*device, steady ? sampleMap->Items() : nullptr);
  if (samplePoints.WritingLeft(steady)) FrameworkRequestFrame();
}

void SurfaceSamples::CopyPointsBeforeRun() {
  ScopedCriticalLock hold(lock);
  if (sampleMap) samplePoints.CopyRest(sampleMap->Items());
}

void SurfaceSamples::ReleaseDevicePoints() {
  ScopedCriticalLock hold(lock);
  samplePoints.ReleaseDevice();
}
