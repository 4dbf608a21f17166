#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/background_sampling.h"
#include "app/sample_points.h"
#include "simulation/sample_map.h"
#include "threadinglib/critical_lock.h"

class MaskHistory;
class StatusLine;

// The surface samples of the loaded model and the points that show them. New samples are made
// off the window thread (BackgroundSampling) and replace the old ones when done. A run reads the
// samples: no sampling starts while a run is kept, and none is under way when a run starts.
// Window thread, except that a run changes the samples' contents while it runs.
//
// Its lock guards the samples and the points; the points' contents are also guarded by the UI
// lock (WindowPanels), which is always taken first, then the model's lock, then this one.
class SurfaceSamples {
public:
  // The samples report into the status line, end the mask history when they are replaced, and
  // call changed whenever what the scene draws of them changes.
  SurfaceSamples(StatusLine& status, MaskHistory& history, ThreadingLib::CriticalLock& uiLock,
                 std::function<void()> changed);

  // Starts sampling the model's surface at the density; the samples there are stay until the
  // new ones replace them.
  void Start(std::shared_ptr<const RenderLib::KdTree> kdTree, std::shared_ptr<const Simulation::Soup> soup,
             int32_t density);
  // Cancels a sampling under way without waiting for it.
  void Cancel();
  bool UnderWay() const { return sampling.UnderWay(); }
  // Once a sampling has finished, its samples replace the model's (their mask history ends),
  // their points are made anew and the status line says how it went; true then (also when it
  // found no samples). Called every frame; it keeps the share done up to date.
  bool TakeFinished(int32_t density);
  // That sampling's progress, 0..100; -1 when none runs.
  int32_t ResamplingPercent() const { return resamplingPercent.load(std::memory_order_relaxed); }
  // Waits for every sampling and discard (at exit, before what they report to goes).
  void WaitForAll() { sampling.WaitForAll(); }

  // A resampling asked for, started once its countdown reaches 0 (a frame shows the status
  // first); -1 when none is asked for.
  float RequestCountdown() const { return requestCountdown; }
  void Request(float seconds) { requestCountdown = seconds; }
  void DropRequest() { requestCountdown = -1.0f; }
  bool Requested() const { return requestCountdown > 0.0f; }
  // Counts the request down by elapsed seconds; true once, when it is due.
  bool CountDownRequest(float elapsedSeconds);

  // Has the points show the samples as they are now: one point per sample, its position and the
  // colour (d, d, d, 1), d its dirt. They are made over the next frames (WritePoints).
  void FillPoints();
  // Makes the next points, on the CPU from the samples unless a run is kept (it changes them as
  // it goes) and on the device from the CPU; the frame calls it while points are left, and asks
  // for the next frame.
  void WritePoints(bool runKept);
  // The points kept on the CPU from the samples as they are, before a run starts changing them.
  void CopyPointsBeforeRun();
  // The device goes: the points on it with it, to be written again on the next one.
  void ReleaseDevicePoints();
  // Frees the samples and their points; their mask history ends with them.
  void Release();
  // Puts samples made elsewhere (on this thread) in place of none; their points are made anew.
  void Adopt(std::unique_ptr<Simulation::SampleMap> map, float spacing);

  Simulation::SampleMap* Map() const { return sampleMap.get(); }
  SamplePoints& Points() { return samplePoints; }
  float Spacing() const { return sampleSpacing; }
  ThreadingLib::CriticalLock& Lock() { return lock; }

private:
  StatusLine& status;
  MaskHistory& history;
  ThreadingLib::CriticalLock& uiLock;
  std::function<void()> changed;

  std::unique_ptr<Simulation::SampleMap> sampleMap;
  // Kept on the CPU too, for a new device: a run may be changing the samples themselves then.
  SamplePoints samplePoints;
  float sampleSpacing = 0.0f;
  BackgroundSampling sampling;
  std::atomic<int32_t> resamplingPercent{-1};
  float requestCountdown = -1.0f;
  ThreadingLib::CriticalLock lock;
};
