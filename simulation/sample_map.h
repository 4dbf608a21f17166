#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/vector3.h"
#include "simulation/sample_array.h"
#include "simulation/sample_grid.h"
#include "simulation/sample_hit.h"
#include "simulation/sampling_task.h"
#include "simulation/surface_sample.h"
#include "simulation/traded_sample.h"

namespace ThreadingLib {
class ThreadPool;
}

namespace Simulation {

class SamplingProgress;

// The largest maxCount a search may ask for; the lists live on the caller's stack.
constexpr int kMaxNeighbours = 500;

// What FindNearest found: entries 1 .. found; slot 0 holds the radius (null record, squared
// radius).
struct NeighbourList {
  SurfaceSample* records[kMaxNeighbours + 1];
  float squaredDistances[kMaxNeighbours + 1];
};

// The samples of a model as an implicit, left-balanced kd-tree in heap order: heap position k
// (1-based) is items[k - 1], its children are positions 2k and 2k + 1.
class SampleMap {
public:
  // Takes over the array's records (the array is left empty), computes the bounds and balances.
  explicit SampleMap(SampleArray& samples);
  // The same for the records of several arrays (at most 32) taken one after the other, as if
  // appended into one, without joining them first. The balancing and the copy into heap order
  // run on the pool's workers when there is a pool with more than one; the records come out
  // the same either way. The arrays are left empty.
  SampleMap(SampleArray* parts, int partCount, ThreadingLib::ThreadPool* pool);
  // The same from the places sampling rays hit instead of finished records: each record is
  // made from its hit (MakeSample on mesh, with the given humidity, dirt and rust) straight into
  // its place in heap order, and notes the mask space of its triangle's material
  // (AssignMaskSpaces on mesh). The records equal those of the samples made first and then given
  // to the constructor above. The arrays are left empty. With progress, the stages of the
  // building are counted in it, and once its sampling is cancelled the map is left empty after
  // the balancing.
  SampleMap(std::vector<SampleHit>* parts, int partCount, const Soup& mesh, const float initialValues[3],
            ThreadingLib::ThreadPool* pool, SamplingProgress* progress = nullptr);
  // The records of an earlier map, in its heap order (its Items()), taken as they are: no
  // balancing, so the map searches exactly as that one did. spaceCount is its SpaceCount().
  SampleMap(const SurfaceSample* heapOrdered, uint32_t count, int32_t spaceCount);
  SampleMap(const SampleMap&) = delete;
  SampleMap& operator=(const SampleMap&) = delete;
  ~SampleMap();

  uint32_t Count() const { return count; }
  // How many mask spaces the model has: every step bakes this many sets of masks. From records
  // given whole, one more than the highest space they note.
  int32_t SpaceCount() const { return spaceCount; }
  SurfaceSample* Items() { return items; }
  const SurfaceSample* Items() const { return items; }
  const RenderLib::Vector3& BoundsMin() const { return boundsMin; }
  const RenderLib::Vector3& BoundsMax() const { return boundsMax; }

  // While tons trade (between BeginTrading and EndTrading) the quantities live in the traded
  // copies, which the tons read and write, not in the records: BeginTrading copies each
  // record's quantities, damping factors and normal into its traded copy, EndTrading copies the
  // quantities back. Call both while no ton runs; TradingWindow pairs them.
  void BeginTrading();
  void EndTrading();
  // The traded copies in the search's order (FindNearestTraded's slots), Count() of them; none
  // before the first BeginTrading.
  TradedSample* Traded() { return traded.data(); }

private:
  template <class Parts, class Make>
  void Build(const Parts& records, Make make, ThreadingLib::ThreadPool* pool, SamplingProgress* progress);

  friend int FindNearest(const SampleMap&, const RenderLib::Vector3&, int, float, NeighbourList&);
  friend int FindNearestTraded(SampleMap&, const RenderLib::Vector3&, int, float, uint32_t*);

  SurfaceSample* items = nullptr;
  RenderLib::Vector3 boundsMin;
  RenderLib::Vector3 boundsMax;
  uint32_t count = 0;
  int32_t spaceCount = 1;
  // The positions again, bucketed by place for the neighbour search; the heap order is kept
  // for the records themselves.
  SampleGrid grid;
  std::vector<TradedSample> traded;
  bool trading = false;
};

// Trading for as long as it lives: BeginTrading on the way in, EndTrading on the way out.
class TradingWindow {
public:
  explicit TradingWindow(SampleMap& map) : map(map) { map.BeginTrading(); }
  ~TradingWindow() { map.EndTrading(); }
  TradingWindow(const TradingWindow&) = delete;
  TradingWindow& operator=(const TradingWindow&) = delete;

private:
  SampleMap& map;
};

// Finds up to maxCount (at most kMaxNeighbours) samples nearer than radius to point, the
// nearest ones when more lie inside; on equal distances the record earlier in the map wins.
// The nearest record is always the last entry (found); the others come in no particular order,
// but always the same one for the same map and arguments. Safe to call from many threads at once.
int FindNearest(const SampleMap& map, const RenderLib::Vector3& point, int maxCount, float radius,
                NeighbourList& list);

// FindNearest for a ton about to trade: the same samples in the same order, as slots of
// map.Traded() (entries 0 .. found - 1, the nearest last). Their traded copies are fetched as
// the list is filled, so the cache misses overlap instead of following one another. `slots`
// has room for maxCount (at most kMaxNeighbours) entries. A map that is not trading has no
// copies to name: the search finds nothing, and says so once.
int FindNearestTraded(SampleMap& map, const RenderLib::Vector3& point, int maxCount, float radius, uint32_t* slots);

}  // namespace Simulation
