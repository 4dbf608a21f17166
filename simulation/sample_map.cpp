#include "simulation/sample_map.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <xmmintrin.h>

#include "renderlib/bounding_box.h"
#include "simulation/mask_spaces.h"
#include "simulation/sampling_task.h"
#include "simulation/sampling_progress.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// Segments at least this long are handed to another worker once their median is placed; the
// smaller ones are finished by the worker that reached them. 2^15 entries is about a
// millisecond of selection, far above the cost of a hand-off.
constexpr uint32_t kHandOffLength = 1u << 15;

// The items the map's records come from (samples, or the hits they are made from), several
// arrays read as one, in order.
template <class Item>
class ItemParts {
public:
  template <class Array>
  ItemParts(Array* parts, int partCount) {
    for (int p = 0; p < partCount; ++p) {
      const uint32_t partCount = static_cast<uint32_t>(Size(parts[p]));
      if (partCount == 0) continue;
      if (used == kMaxParts) {
        dropped += partCount;
        continue;
      }
      base[used] = Data(parts[p]);
      first[used] = total;
      total += partCount;
      ++used;
    }
    for (int p = used; p < kMaxParts; ++p) first[p] = UINT32_MAX;
  }

  uint32_t Total() const { return total; }
  uint32_t Dropped() const { return dropped; }
  int Used() const { return used; }
  // Where part p starts in the joined order.
  uint32_t First(int p) const { return first[p]; }
  const Item* Part(int p, uint32_t& count) const {
    count = (p + 1 < used ? first[p + 1] : total) - first[p];
    return base[p];
  }
  // While every part is shorter than 2^kOffsetBits, an item can be named by its part and its
  // place in it, which finds it without a search: Name gives that name (or else the index in
  // the joined order), Named the item.
  static constexpr uint32_t kOffsetBits = 27;
  bool Packed() const { return total < (1u << kOffsetBits); }
  uint32_t Name(int p, uint32_t j) const {
    return Packed() ? (static_cast<uint32_t>(p) << kOffsetBits) | j : first[p] + j;
  }
  const Item& Named(uint32_t name) const {
    return Packed() ? base[name >> kOffsetBits][name & ((1u << kOffsetBits) - 1)] : (*this)[name];
  }

  // Item i of the joined order; counting the parts that start at or before i needs no branch.
  const Item& operator[](uint32_t i) const {
    int p = -1;
    for (int q = 0; q < kMaxParts; ++q) p += i >= first[q];
    return base[p][i - first[p]];
  }

  static constexpr int kMaxParts = 32;

private:
  static size_t Size(const SampleArray& array) { return array.Count(); }
  static const SurfaceSample* Data(const SampleArray& array) { return array.Items(); }
  static size_t Size(const std::vector<SampleHit>& array) { return array.size(); }
  static const SampleHit* Data(const std::vector<SampleHit>& array) { return array.data(); }

  const Item* base[kMaxParts] = {};
  uint32_t first[kMaxParts] = {};
  uint32_t total = 0;
  uint32_t dropped = 0;
  int used = 0;
};

// Records copied as they are.
struct CopyRecord {
  SurfaceSample operator()(const SurfaceSample& sample) const { return sample; }
};

// Records made from their hits, each in its triangle's mask space.
struct MakeRecord {
  const Soup& mesh;
  const float* initialValues;
  const Vector3* vertexBitangents;
  const MaskSpaces& spaces;
  SurfaceSample operator()(const SampleHit& hit) const {
    SurfaceSample record =
        MakeSample(mesh, hit.triangle, hit.b1, hit.b2, hit.position, initialValues, vertexBitangents);
    if (spaces.count > 1) SetMaskSpace(record, spaces.SpaceOf(mesh.TriangleMaterials()[size_t(hit.triangle)]));
    return record;
  }
};

// A piece of the map's construction as a pool task.
template <class Work>
class WorkTask final : public ThreadingLib::Task {
public:
  WorkTask(ThreadingLib::ThreadPool* pool, Work work) : Task(pool), work(work) {}
  void Run(uint32_t) override { work(); }
  uint32_t Prepare() override { return 0; }

private:
  Work work;
};

// Builds the heap order: for each heap position, which record of the input goes there, and
// its split axis. It works on a compact copy of the positions (16 bytes per record instead of
// a whole record reached through an index), so the selections stream through memory instead
// of missing the cache at every comparison. Once a segment's median is placed, its two halves
// touch disjoint parts of the list and of the heap, so the halves of long segments go to the
// pool's workers; each half makes the same swaps it would make on one thread, so the order is
// the same whatever the number of workers.
class Balancer {
public:
  struct Entry {
    float position[3];
    uint32_t record;
  };

  // positions[k - 1] gets the position of heap position k. The list of Total() + 1 entries
  // lives in listStorage, which the caller owns and may reuse once Run has returned.
  // The bounds are taken in the same pass that copies the positions out of the records.
  // Every entry of the arrays is written before it is read, so they start uninitialised.
  // The two halves of the list are filled on the pool's workers when there are two.
  template <class Parts>
  Balancer(const Parts& records, Vector3* positions, Entry* listStorage, ThreadingLib::ThreadPool* pool)
      : heap(new uint32_t[records.Total() + 1]), axes(new uint8_t[records.Total() + 1]),
        list(listStorage), positions(positions) {
    const uint32_t total = records.Total();
    RenderLib::BoundingBox halves[2];
    auto fillHalf = [this, &records, &halves, total](uint32_t half) {
      Fill(records, static_cast<uint32_t>(uint64_t(total) * half / 2),
           static_cast<uint32_t>(uint64_t(total) * (half + 1) / 2), halves[half]);
    };
    if (pool != nullptr && pool->WorkerCount() > 1 && total >= 2 * kHandOffLength) {
      auto second = [&fillHalf] { fillHalf(1); };
      WorkTask<decltype(second)> secondTask(pool, second);
      if (!pool->Add(&secondTask)) second();
      auto first = [&fillHalf] { fillHalf(0); };
      WorkTask<decltype(first)> firstTask(pool, first);
      if (!pool->Add(&firstTask)) first();
      pool->RunAndWait();
    } else {
      fillHalf(0);
      fillHalf(1);
    }
    // Minimum and maximum do not depend on the order the positions are taken in.
    RenderLib::BoundingBox bounds = halves[0];
    bounds.Extend(halves[1].min);
    bounds.Extend(halves[1].max);
    rootMin = bounds.min;
    rootMax = bounds.max;
  }

  const Vector3& BoundsMin() const { return rootMin; }
  const Vector3& BoundsMax() const { return rootMax; }

  // heap[k] = the name (ItemParts::Name) of the item for heap position k; axes[k] its split axis.
  void Run(uint32_t count, ThreadingLib::ThreadPool* pool) {
    if (pool != nullptr && pool->WorkerCount() > 1 && count >= 2 * kHandOffLength) {
      // Every handed-off segment is at least kHandOffLength long and they do not overlap,
      // but a segment and its halves may all be handed off: twice the count bounds them.
      const size_t slots = 2 * (count / kHandOffLength) + 2;
      tasks.reserve(slots);
      for (size_t i = 0; i < slots; ++i) tasks.emplace_back(pool, this);
      this->pool = pool;
      SegmentTask& root = tasks[0];
      root.segment = {1, 1, count, rootMin, rootMax};
      nextTask.store(1, std::memory_order_relaxed);
      if (pool->Add(&root)) {
        pool->RunAndWait();
        return;
      }
      this->pool = nullptr;
    }
    BalanceSegment({1, 1, count, rootMin, rootMax});
  }

  std::unique_ptr<uint32_t[]> heap;
  std::unique_ptr<uint8_t[]> axes;

private:
  struct Segment {
    uint32_t k, start, end;
    Vector3 boundsMin, boundsMax;
  };

  class SegmentTask final : public ThreadingLib::Task {
  public:
    SegmentTask(ThreadingLib::ThreadPool* pool, Balancer* owner) : Task(pool), owner(owner) {}
    void Run(uint32_t) override { owner->BalanceSegment(segment); }
    uint32_t Prepare() override { return 0; }
    Balancer* owner;
    Segment segment{};
  };

  // Items from .. to - 1 of the joined order go to list[from + 1 .. to], their bounds to bounds.
  template <class Parts>
  void Fill(const Parts& records, uint32_t from, uint32_t to, RenderLib::BoundingBox& bounds) {
    for (int p = 0; p < records.Used(); ++p) {
      uint32_t partCount = 0;
      const auto* part = records.Part(p, partCount);
      const uint32_t partFirst = records.First(p);
      const uint32_t low = std::max(from, partFirst) - partFirst;
      const uint32_t high = std::min(to, partFirst + partCount);
      for (uint32_t j = low; partFirst + j < high; ++j) {
        const Vector3& position = part[j].position;
        bounds.Extend(position);
        list[partFirst + j + 1] = {{position.x, position.y, position.z}, records.Name(p, j)};
      }
    }
  }

  // Partially sorts list[start .. end] on axis so that list[median] has no smaller
  // coordinate after it and no larger one before it.
  void Select(uint32_t start, uint32_t end, uint32_t median, int axis) {
    Entry* entries = list;
    uint32_t left = start;
    uint32_t right = end;
    while (right > left) {
      const uint32_t i = Partition(entries, left, right, axis);
      if (i >= median) right = i - 1;
      if (i <= median) left = i + 1;
    }
  }

  // One exchange partition of entries[left .. right] around the last entry's coordinate:
  // a scan up stops at every coordinate not below it, a scan down at every one not above it
  // (or at left), the two stops trade places until the scans cross, and the pivot goes where
  // the upward scan stopped, which is returned.
  //
  // The scans never look at an entry twice, and until they cross they only meet entries no
  // trade has touched yet. So the q-th trade is between the q-th stop of each scan taken on the
  // entries as they were, for as long as the up stop lies below the down stop. The stops are
  // therefore found 64 entries at a time as bit masks, without a branch per entry, and the
  // trades walk the masks. When the scans cross, the upward scan would have stopped at the
  // first stop left beyond the last trade, or at the last down stop traded, which now holds an
  // entry not below the pivot: whichever comes first. The order comes out exactly the plain
  // scans'.
  static uint32_t Partition(Entry* entries, uint32_t left, uint32_t right, int axis) {
    if (axis == 0) return Partition<0>(entries, left, right);
    if (axis == 1) return Partition<1>(entries, left, right);
    return Partition<2>(entries, left, right);
  }

  // Bit t: whether entry from[t * step] stops the up scan (kUp: its coordinate is not below the
  // pivot) or the down scan (not above it). Four entries per compare.
  template <int kAxis, bool kUp>
  static uint64_t StopMask(const Entry* from, int step, uint32_t length, float pivot) {
    const __m128 value = _mm_set1_ps(pivot);
    uint64_t mask = 0;
    uint32_t t = 0;
    for (; t + 4 <= length; t += 4) {
      const Entry* e = from + step * static_cast<int>(t);
      const __m128 a0 = _mm_loadu_ps(e[0].position);
      const __m128 a1 = _mm_loadu_ps(e[step].position);
      const __m128 a2 = _mm_loadu_ps(e[2 * step].position);
      const __m128 a3 = _mm_loadu_ps(e[3 * step].position);
      const __m128 low = _mm_shuffle_ps(a0, a1, _MM_SHUFFLE(kAxis, kAxis, kAxis, kAxis));
      const __m128 high = _mm_shuffle_ps(a2, a3, _MM_SHUFFLE(kAxis, kAxis, kAxis, kAxis));
      const __m128 coordinates = _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
      const __m128 stops = kUp ? _mm_cmpnlt_ps(coordinates, value) : _mm_cmpngt_ps(coordinates, value);
      mask |= uint64_t(_mm_movemask_ps(stops)) << t;
    }
    for (; t < length; ++t) {
      const float c = from[step * static_cast<int>(t)].position[kAxis];
      mask |= uint64_t(kUp ? !(c < pivot) : !(c > pivot)) << t;
    }
    return mask;
  }

  template <int kAxis>
  static uint32_t Partition(Entry* entries, uint32_t left, uint32_t right) {
    constexpr int axis = kAxis;
    const float pivot = entries[right].position[axis];
    uint32_t lastDown = right;  // where the last trade's down stop was (none yet)
    // Up stops not yet used in [upBase, upBase + 64), down stops in (downTop - 64, downTop].
    uint64_t upMask = 0, downMask = 0;
    uint32_t upBase = left, upNextBase = left;
    uint32_t downTop = right, downNextTop = right - 1;
    for (;;) {
      // The next up stop; right itself always stops the scan.
      while (upMask == 0) {
        if (upNextBase >= lastDown) return Finish(entries, lastDown, right);
        upBase = upNextBase;
        const uint32_t length = std::min<uint32_t>(64, right - upBase + 1);
        upMask = StopMask<kAxis, true>(entries + upBase, 1, length, pivot);
        upNextBase = upBase + length;
      }
      const uint32_t up = upBase + static_cast<uint32_t>(__builtin_ctzll(upMask));
      if (up >= lastDown) return Finish(entries, lastDown, right);
      // The next down stop; left itself always stops the scan.
      while (downMask == 0) {
        downTop = downNextTop;
        const uint32_t length = std::min<uint32_t>(64, downTop - left + 1);
        downMask = StopMask<kAxis, false>(entries + downTop, -1, length, pivot);
        if (downTop - left + 1 <= 64) downMask |= uint64_t(1) << (downTop - left);
        downNextTop = downTop - length;
      }
      const uint32_t down = downTop - static_cast<uint32_t>(__builtin_ctzll(downMask));
      if (up >= down) return Finish(entries, up, right);
      std::swap(entries[up], entries[down]);
      lastDown = down;
      upMask &= upMask - 1;
      downMask &= downMask - 1;
    }
  }

  static uint32_t Finish(Entry* entries, uint32_t i, uint32_t right) {
    std::swap(entries[i], entries[right]);
    return i;
  }

  void Place(uint32_t k, const Entry& entry) {
    heap[k] = entry.record;
    positions[k - 1] = {entry.position[0], entry.position[1], entry.position[2]};
  }

  // Hands the segment to another worker; false when there is no task left for it.
  bool HandOff(const Segment& segment) {
    if (pool == nullptr || segment.end - segment.start + 1 < kHandOffLength) return false;
    const size_t slot = nextTask.fetch_add(1, std::memory_order_relaxed);
    if (slot >= tasks.size()) return false;
    tasks[slot].segment = segment;
    return pool->Submit(&tasks[slot]);
  }

  void BalanceSegment(Segment segment) {
    for (;;) {
      const uint32_t start = segment.start, end = segment.end, k = segment.k;
      const uint32_t n = end - start + 1;
      uint32_t m = 1;
      while (4 * m <= n) m *= 2;
      const uint32_t median = (3 * m <= n) ? start + 2 * m - 1 : end - m + 1;

      const Vector3 extent = segment.boundsMax - segment.boundsMin;
      int axis = 2;
      if (extent.x > extent.y && extent.x > extent.z) {
        axis = 0;
      } else if (extent.y > extent.z) {
        axis = 1;
      }

      Select(start, end, median, axis);
      Place(k, list[median]);
      axes[k] = static_cast<uint8_t>(axis);
      const float split = list[median].position[axis];

      bool leftPending = false;
      Segment leftSegment{};
      if (start < median) {
        if (median - start == 1) {
          Place(2 * k, list[start]);
        } else {
          leftSegment = {2 * k, start, median - 1, segment.boundsMin, segment.boundsMax};
          leftSegment.boundsMax[axis] = split;
          leftPending = !HandOff(leftSegment);
        }
      }
      if (median < end) {
        if (end - median == 1) {
          Place(2 * k + 1, list[end]);
        } else {
          Segment rightSegment{2 * k + 1, median + 1, end, segment.boundsMin, segment.boundsMax};
          rightSegment.boundsMin[axis] = split;
          if (leftPending) {
            BalanceSegment(leftSegment);
            leftPending = false;
          }
          segment = rightSegment;
          continue;
        }
      }
      if (!leftPending) return;
      segment = leftSegment;
    }
  }

  Entry* list;
  Vector3 rootMin;
  Vector3 rootMax;
  Vector3* positions;
  ThreadingLib::ThreadPool* pool = nullptr;
  std::vector<SegmentTask> tasks;
  std::atomic<size_t> nextTask{0};
};

// Writes the records in heap order, setting the split axes. The reads jump about but do not
// wait on each other, so they are fetched ahead. A record that ends as a single leaf child
// keeps the axis it had; every other one gets its node's axis.
template <class Item, class Make>
class HeapOrderCopy {
public:
  HeapOrderCopy(const ItemParts<Item>& records, const Balancer& balancer, Make make, SurfaceSample* ordered)
      : records(records), balancer(balancer), make(make), ordered(ordered) {}

  // Heap positions from .. to - 1 (1-based).
  void Copy(uint32_t from, uint32_t to) const {
    const uint32_t count = records.Total();
    const uint32_t* heap = balancer.heap.get();
    constexpr uint32_t kAhead = 16;
    for (uint32_t k = from; k < to; ++k) {
      if (k + kAhead < to) {
        const char* next = reinterpret_cast<const char*>(&records.Named(heap[k + kAhead]));
        __builtin_prefetch(next);
        __builtin_prefetch(next + sizeof(Item) - 1);
      }
      SurfaceSample& record = ordered[k - 1];
      record = make(records.Named(heap[k]));
      if (2 * k <= count || k == 1) record.splitAxis = (record.splitAxis & ~kSplitAxisBits) | balancer.axes[k];
    }
  }

private:
  const ItemParts<Item>& records;
  const Balancer& balancer;
  Make make;
  SurfaceSample* ordered;
};

}  // namespace

SampleMap::SampleMap(SampleArray& samples) : SampleMap(&samples, 1, nullptr) {}

SampleMap::SampleMap(SampleArray* parts, int partCount, ThreadingLib::ThreadPool* pool) {
  Build(ItemParts<SurfaceSample>(parts, partCount), CopyRecord{}, pool, nullptr);
  for (int p = 0; p < partCount; ++p) parts[p].Free();
  for (uint32_t i = 0; i < count; ++i) spaceCount = std::max(spaceCount, MaskSpaceOf(items[i]) + 1);
}

SampleMap::SampleMap(std::vector<SampleHit>* parts, int partCount, const Soup& mesh, const float initialValues[3],
                     ThreadingLib::ThreadPool* pool, SamplingProgress* progress) {
  const std::vector<Vector3> vertexBitangents = VertexBitangents(mesh);
  const MaskSpaces spaces = AssignMaskSpaces(mesh);
  spaceCount = spaces.count;
  Build(ItemParts<SampleHit>(parts, partCount), MakeRecord{mesh, initialValues, vertexBitangents.data(), spaces}, pool,
        progress);
  for (int p = 0; p < partCount; ++p) std::vector<SampleHit>().swap(parts[p]);
}

template <class Parts, class Make>
void SampleMap::Build(const Parts& records, Make make, ThreadingLib::ThreadPool* pool, SamplingProgress* progress) {
  // The copy into heap order goes in this many pieces on a pool; they and the grid are counted
  // in the progress as they finish.
  constexpr uint32_t kPieces = 4;
  count = records.Total();
  if (records.Dropped() > 0) {
    std::fprintf(stderr, "sample map: more than %d sample arrays given; %u samples of the later ones are left out\n",
                 Parts::kMaxParts, records.Dropped());
  }
  RenderLib::BoundingBox bounds;
  boundsMin = bounds.min;
  boundsMax = bounds.max;

  // Every position is written before the grid reads it: no zero-filling.
  const std::unique_ptr<Vector3, void (*)(void*)> positions(
      count > 0 ? static_cast<Vector3*>(std::malloc(size_t(count) * sizeof(Vector3))) : nullptr, std::free);
  items = count > 0 ? static_cast<SurfaceSample*>(std::malloc(size_t(count) * sizeof(SurfaceSample))) : nullptr;
  if (count > 0 && (items == nullptr || positions == nullptr)) {
    std::fprintf(stderr, "sample map: out of memory for %u records; the map is left empty\n", count);
    std::free(items);
    items = nullptr;
    count = 0;
  }
  if (count == 1) {
    // Nothing to balance: the one record is the map as it is, its split axis untouched.
    items[0] = make(records[0]);
    positions.get()[0] = boundsMin = boundsMax = items[0].position;
  } else if (count > 1) {
    // The balancing's list lives in the records' memory until the records overwrite it: the
    // pages are faulted in and zeroed by the system once instead of twice.
    static_assert(2 * sizeof(Balancer::Entry) <= sizeof(SurfaceSample));
    if (progress != nullptr) progress->BeginStage(kCastingEnds, kBalancingListEnds, 1);
    Balancer balancer(records, positions.get(), reinterpret_cast<Balancer::Entry*>(items), pool);
    boundsMin = balancer.BoundsMin();
    boundsMax = balancer.BoundsMax();
    if (progress != nullptr) progress->BeginStage(kBalancingListEnds, kBalancingEnds, 1);
    balancer.Run(count, pool);
    if (progress != nullptr) {
      if (progress->Cancelled()) {
        std::free(items);
        items = nullptr;
        count = 0;
        grid.Build(positions.get(), 0);
        return;
      }
      progress->BeginStage(kBalancingEnds, 1.0f, kPieces + 1);
    }
    const HeapOrderCopy copy(records, balancer, make, items);
    if (pool != nullptr && pool->WorkerCount() > 1 && count >= 2 * kHandOffLength) {
      // The grid is built from the positions the balancing left, beside the copy, which is
      // cut in a few pieces so the workers finish together.
      auto buildGrid = [this, &positions, progress] {
        grid.Build(positions.get(), count);
        if (progress != nullptr) progress->Add(1);
      };
      WorkTask<decltype(buildGrid)> gridTask(pool, buildGrid);
      auto copyPiece = [&copy, total = count, progress](uint32_t piece) {
        copy.Copy(1 + static_cast<uint32_t>(uint64_t(total) * piece / kPieces),
                  1 + static_cast<uint32_t>(uint64_t(total) * (piece + 1) / kPieces));
        if (progress != nullptr) progress->Add(1);
      };
      using PieceWork = std::function<void()>;
      std::vector<WorkTask<PieceWork>> pieces;
      pieces.reserve(kPieces);
      if (!pool->Add(&gridTask)) buildGrid();
      for (uint32_t piece = 0; piece < kPieces; ++piece) {
        pieces.emplace_back(pool, PieceWork([&copyPiece, piece] { copyPiece(piece); }));
        if (!pool->Add(&pieces.back())) copyPiece(piece);
      }
      pool->RunAndWait();
      return;
    }
    copy.Copy(1, count + 1);
  }
  grid.Build(positions.get(), count);
  if (progress != nullptr) progress->BeginStage(1.0f, 1.0f, 1);
}

SampleMap::SampleMap(const SurfaceSample* heapOrdered, uint32_t recordCount, int32_t spaces)
    : spaceCount(std::max(spaces, 1)) {
  const std::unique_ptr<Vector3, void (*)(void*)> positions(
      recordCount > 0 ? static_cast<Vector3*>(std::malloc(size_t(recordCount) * sizeof(Vector3))) : nullptr,
      std::free);
  items = recordCount > 0 ? static_cast<SurfaceSample*>(std::malloc(size_t(recordCount) * sizeof(SurfaceSample)))
                          : nullptr;
  if (recordCount > 0 && (items == nullptr || positions == nullptr)) {
    std::fprintf(stderr, "sample map: out of memory for %u records; the map is left empty\n", recordCount);
    std::free(items);
    items = nullptr;
    recordCount = 0;
  }
  count = recordCount;
  RenderLib::BoundingBox bounds;
  for (uint32_t i = 0; i < count; ++i) {
    items[i] = heapOrdered[i];
    positions.get()[i] = items[i].position;
    bounds.Extend(items[i].position);
  }
  boundsMin = bounds.min;
  boundsMax = bounds.max;
  grid.Build(positions.get(), count);
}

SampleMap::~SampleMap() { std::free(items); }

void SampleMap::BeginTrading() {
  traded.resize(count);
  trading = true;
  for (uint32_t slot = 0; slot < count; ++slot) {
    const SurfaceSample& record = items[grid.Record(slot)];
    traded[slot] = {record.humidity,       record.dirt,        record.rust,  record.bounceDamping,
                    record.scatterDamping, record.flowDamping, record.normal};
  }
}

void SampleMap::EndTrading() {
  if (!trading) return;
  trading = false;
  for (uint32_t slot = 0; slot < count; ++slot) {
    SurfaceSample& record = items[grid.Record(slot)];
    record.humidity = traded[slot].humidity;
    record.dirt = traded[slot].dirt;
    record.rust = traded[slot].rust;
  }
}

namespace {

// The grid's keys in list order: the nearest moved to the end, the others as they come.
void NearestLast(const SampleGrid& grid, SampleGrid::Key* keys, int found) {
  int nearest = 0;
  for (int i = 1; i < found; ++i) {
    if (grid.KeyBefore(keys[i], keys[nearest])) nearest = i;
  }
  const SampleGrid::Key last = keys[nearest];
  std::copy(keys + nearest + 1, keys + found, keys + nearest);
  keys[found - 1] = last;
}

int SearchKeys(const SampleGrid& grid, const Vector3& point, int maxCount, float radius, SampleGrid::Key* keys) {
  const int found = grid.FindNearest(point, std::min(maxCount, kMaxNeighbours), radius, keys);
  if (found > 0) NearestLast(grid, keys, found);
  return found;
}

}  // namespace

int FindNearest(const SampleMap& map, const Vector3& point, int maxCount, float radius, NeighbourList& list) {
  SampleGrid::Key keys[kMaxNeighbours];
  const int found = SearchKeys(map.grid, point, maxCount, radius, keys);
  list.records[0] = nullptr;
  list.squaredDistances[0] = radius * radius;
  for (int i = 0; i < found; ++i) {
    list.records[i + 1] = map.items + map.grid.Record(SampleGrid::KeySlot(keys[i]));
    list.squaredDistances[i + 1] = SampleGrid::KeyDistanceSquared(keys[i]);
  }
  return found;
}

int FindNearestTraded(SampleMap& map, const Vector3& point, int maxCount, float radius, uint32_t* slots) {
  if (!map.trading) {
    static std::atomic<bool> told{false};
    if (!told.exchange(true, std::memory_order_relaxed)) {
      std::fprintf(stderr, "sample map: a ton searched a map that is not trading; it finds no samples\n");
    }
    return 0;
  }
  SampleGrid::Key keys[kMaxNeighbours];
  const int found = SearchKeys(map.grid, point, maxCount, radius, keys);
  const char* traded = reinterpret_cast<const char*>(map.traded.data());
  for (int i = 0; i < found; ++i) {
    const uint32_t slot = SampleGrid::KeySlot(keys[i]);
    // A copy is 36 bytes: its first and last byte name the one or two lines it lies on.
    __builtin_prefetch(traded + size_t(slot) * sizeof(TradedSample));
    __builtin_prefetch(traded + size_t(slot) * sizeof(TradedSample) + sizeof(TradedSample) - 1);
    slots[i] = slot;
  }
  return found;
}

}  // namespace Simulation
