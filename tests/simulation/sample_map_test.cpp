#include "simulation/sample_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

SampleArray MakeSamples(const std::vector<Vector3>& positions) {
  SampleArray samples;
  samples.Init(static_cast<uint32_t>(positions.size()));
  for (size_t i = 0; i < positions.size(); ++i) {
    SurfaceSample sample{};
    sample.position = positions[i];
    sample.humidity = static_cast<float>(i);  // remembers where the record came from
    samples.Push(sample);
  }
  return samples;
}

std::vector<Vector3> RandomPositions(size_t count, uint32_t seed, bool clustered) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<Vector3> positions;
  for (size_t i = 0; i < count; ++i) {
    Vector3 p{unit(random), unit(random) * 0.5f, unit(random) * 0.25f};
    // Grid-snapped points give many equal coordinates, which stress the median selection.
    if (clustered) p = {std::round(p.x * 8) / 8, std::round(p.y * 8) / 8, p.z};
    positions.push_back(p);
  }
  return positions;
}

float SquaredDistance(const Vector3& a, const Vector3& b) {
  Vector3 d = a - b;
  return Dot(d, d);
}

// Checks that every heap position's left subtree lies at or below its split coordinate and
// the right subtree at or above, which is what lets the search prune.
void ExpectKdOrder(const SampleMap& map, uint32_t k, uint32_t axis, float split, bool isLeft) {
  if (k > map.Count()) return;
  const SurfaceSample& record = map.Items()[k - 1];
  if (isLeft) {
    EXPECT_LE(record.position[axis], split);
  } else {
    EXPECT_GE(record.position[axis], split);
  }
  ExpectKdOrder(map, 2 * k, axis, split, isLeft);
  ExpectKdOrder(map, 2 * k + 1, axis, split, isLeft);
}

TEST(SampleMap, BalanceKeepsEveryRecordAndOrdersSubtreesOnTheSplitAxis) {
  for (bool clustered : {false, true}) {
    std::vector<Vector3> positions = RandomPositions(1000, 7, clustered);
    SampleArray samples = MakeSamples(positions);
    SampleMap map(samples);
    EXPECT_EQ(samples.Count(), 0u);
    ASSERT_EQ(map.Count(), 1000u);

    std::vector<bool> seen(positions.size(), false);
    for (uint32_t k = 1; k <= map.Count(); ++k) {
      const SurfaceSample& record = map.Items()[k - 1];
      size_t origin = static_cast<size_t>(record.humidity);
      ASSERT_LT(origin, positions.size());
      EXPECT_FALSE(seen[origin]);
      seen[origin] = true;
      EXPECT_EQ(record.position, positions[origin]);
      if (2 * k <= map.Count()) {
        uint32_t axis = record.splitAxis & 3u;
        ASSERT_LT(axis, 3u);
        ExpectKdOrder(map, 2 * k, axis, record.position[axis], true);
        ExpectKdOrder(map, 2 * k + 1, axis, record.position[axis], false);
      }
    }
  }
}

TEST(SampleMap, RootSplitsTheWidestAxisAtTheLeftBalancedMedian) {
  // Two records: the median is list position 2, so the larger one is the root.
  SampleArray two = MakeSamples({{0, 0, 5}, {0, 0, 1}});
  SampleMap pair(two);
  EXPECT_EQ(pair.Items()[0].position.z, 5.0f);
  EXPECT_EQ(pair.Items()[0].splitAxis, 2u);
  EXPECT_EQ(pair.Items()[1].position.z, 1.0f);

  // Six records along x: 4m <= 6 gives m = 2 and 3m <= 6, so the median is list position
  // 4: three records go left, two right, which keeps the heap's last level filled from the left.
  SampleArray six = MakeSamples({{5, 0, 0}, {1, 0, 0}, {4, 0, 0}, {0, 0, 0}, {3, 0, 0}, {2, 0, 0}});
  SampleMap row(six);
  EXPECT_EQ(row.Items()[0].position.x, 3.0f);
  EXPECT_EQ(row.Items()[0].splitAxis, 0u);
}

// The records brute force picks: those strictly within the radius, nearest first, the earlier
// record on equal distances, at most maxCount of them.
std::vector<const SurfaceSample*> BruteForce(const SampleMap& map, const Vector3& point, int maxCount, float radius) {
  std::vector<std::pair<float, uint32_t>> inside;
  for (uint32_t i = 0; i < map.Count(); ++i) {
    float d = SquaredDistance(map.Items()[i].position, point);
    if (d < radius * radius) inside.push_back({d, i});
  }
  std::sort(inside.begin(), inside.end());
  if (inside.size() > static_cast<size_t>(maxCount)) inside.resize(maxCount);
  std::vector<const SurfaceSample*> records;
  for (const auto& entry : inside) records.push_back(map.Items() + entry.second);
  return records;
}

// Checks one search against brute force: the same set of records, each with its own squared
// distance, and the nearest one last.
void ExpectSameAsBruteForce(SampleMap& map, const Vector3& point, int maxCount, float radius) {
  NeighbourList list;
  const int found = FindNearest(map, point, maxCount, radius, list);
  std::vector<const SurfaceSample*> expected = BruteForce(map, point, maxCount, radius);
  ASSERT_EQ(found, static_cast<int>(expected.size()));
  if (found == 0) return;
  std::vector<const SurfaceSample*> got(list.records + 1, list.records + found + 1);
  for (int i = 1; i <= found; ++i) {
    ASSERT_EQ(list.squaredDistances[i], SquaredDistance(list.records[i]->position, point));
  }
  EXPECT_EQ(list.records[found], expected.front());
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(got, expected);

  // The tons' search names the very same records, in the same order, by their traded copies
  // (whose humidity says which record they were copied from).
  const TradingWindow trading(map);
  uint32_t slots[kMaxNeighbours];
  ASSERT_EQ(FindNearestTraded(map, point, maxCount, radius, slots), found);
  for (int i = 0; i < found; ++i) ASSERT_EQ(map.Traded()[slots[i]].humidity, list.records[i + 1]->humidity);
}

TEST(SampleMap, FindNearestAgreesWithBruteForce) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> unit(-1.2f, 1.2f);
  for (bool clustered : {false, true}) {
    std::vector<Vector3> positions = RandomPositions(3000, 3, clustered);
    SampleArray samples = MakeSamples(positions);
    SampleMap map(samples);
    for (int query = 0; query < 300; ++query) {
      Vector3 point{unit(random), unit(random) * 0.5f, unit(random) * 0.25f};
      int maxCount = 1 + query % 120;
      float radius = 0.05f + 0.5f * static_cast<float>(query % 7) / 7.0f;
      ExpectSameAsBruteForce(map, point, maxCount, radius);
    }
  }
}

// The balancing done the plain way, one record reference at a time on one thread: the heap
// order it gives, with the split axes set.
class PlainBalance {
public:
  explicit PlainBalance(std::vector<SurfaceSample> records) : records(std::move(records)) {
    const size_t n = this->records.size();
    list.resize(n + 1);
    heap.resize(n + 1);
    for (size_t i = 1; i <= n; ++i) list[i] = static_cast<uint32_t>(i - 1);
    for (const SurfaceSample& record : this->records) {
      for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], record.position[axis]);
        high[axis] = std::max(high[axis], record.position[axis]);
      }
    }
    Segment(1, 1, static_cast<uint32_t>(n));
  }

  std::vector<SurfaceSample> Ordered() const {
    std::vector<SurfaceSample> ordered;
    for (size_t k = 1; k < heap.size(); ++k) ordered.push_back(records[heap[k]]);
    return ordered;
  }

private:
  float At(uint32_t position, int axis) const { return records[list[position]].position[axis]; }

  void Segment(uint32_t k, uint32_t start, uint32_t end) {
    const uint32_t n = end - start + 1;
    uint32_t m = 1;
    while (4 * m <= n) m *= 2;
    const uint32_t median = 3 * m <= n ? start + 2 * m - 1 : end - m + 1;
    const Vector3 extent = high - low;
    const int axis = extent.x > extent.y && extent.x > extent.z ? 0 : extent.y > extent.z ? 1 : 2;
    uint32_t left = start, right = end;
    while (right > left) {
      const float pivot = At(right, axis);
      uint32_t i = left - 1, j = right;
      for (;;) {
        while (At(++i, axis) < pivot) {
        }
        while (At(--j, axis) > pivot && j > left) {
        }
        if (i >= j) break;
        std::swap(list[i], list[j]);
      }
      std::swap(list[i], list[right]);
      if (i >= median) right = i - 1;
      if (i <= median) left = i + 1;
    }
    heap[k] = list[median];
    records[list[median]].splitAxis = static_cast<uint32_t>(axis);
    const float split = At(median, axis);
    if (start < median) {
      const float saved = high[axis];
      high[axis] = split;
      if (median - start == 1) heap[2 * k] = list[start];
      else Segment(2 * k, start, median - 1);
      high[axis] = saved;
    }
    if (median < end) {
      const float saved = low[axis];
      low[axis] = split;
      if (end - median == 1) heap[2 * k + 1] = list[end];
      else Segment(2 * k + 1, median + 1, end);
      low[axis] = saved;
    }
  }

  std::vector<SurfaceSample> records;
  std::vector<uint32_t> list, heap;
  Vector3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
};

TEST(SampleMap, BalancingSeveralArraysOnWorkersGivesThePlainBalancesRecords) {
  // Enough records for the halves to go to the workers; grid-snapped, so most coordinates tie
  // and the records chosen depend on every swap being the same.
  const std::vector<Vector3> positions = RandomPositions(150000, 13, true);
  SampleArray whole = MakeSamples(positions);
  const std::vector<SurfaceSample> plain =
      PlainBalance(std::vector<SurfaceSample>(whole.Items(), whole.Items() + whole.Count())).Ordered();

  ThreadingLib::ThreadPool pool;
  ASSERT_TRUE(pool.Create(2, 2, 0));
  // Three arrays, one of them empty, read as one.
  SampleArray parts[4];
  const uint32_t cuts[] = {0, 40000, 40000, 110000, 150000};
  for (int p = 0; p < 4; ++p) {
    parts[p].Init(cuts[p + 1] - cuts[p]);
    for (uint32_t i = cuts[p]; i < cuts[p + 1]; ++i) parts[p].Push(whole[i]);
  }
  SampleMap onWorkers(parts, 4, &pool);
  SampleMap onOneThread(whole);
  for (const SampleMap* map : {&onWorkers, &onOneThread}) {
    ASSERT_EQ(map->Count(), plain.size());
    EXPECT_EQ(std::memcmp(map->Items(), plain.data(), plain.size() * sizeof(SurfaceSample)), 0);
  }
  EXPECT_EQ(parts[2].Count(), 0u);
  // The workers take the bounds of the list's two halves apart and join them.
  Vector3 low = positions[0], high = positions[0];
  for (const Vector3& p : positions) {
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], p[axis]);
      high[axis] = std::max(high[axis], p[axis]);
    }
  }
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(onWorkers.BoundsMin()[axis], low[axis]);
    EXPECT_EQ(onWorkers.BoundsMax()[axis], high[axis]);
  }
  // The search grid is built from the positions the workers copied out.
  for (uint32_t i = 0; i < 20; ++i) ExpectSameAsBruteForce(onWorkers, positions[i * 7001] * 1.01f, 50, 0.2f);
}

TEST(SampleMap, FindNearestOnSurfacesLatticesAndCrowds) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  // A sphere's shell: the samples lie on a surface, as the model's do; searches from on, inside
  // and outside it, with the simulation's kind of counts and radii.
  std::vector<Vector3> shell;
  for (int i = 0; i < 20000; ++i) {
    std::normal_distribution<float> normal;
    Vector3 d{normal(random), normal(random), normal(random)};
    shell.push_back(d / Length(d));
  }
  SampleArray shellSamples = MakeSamples(shell);
  SampleMap sphere(shellSamples);
  for (int query = 0; query < 200; ++query) {
    const Vector3 point = shell[query * 97] * (0.8f + 0.4f * unit(random));
    ExpectSameAsBruteForce(sphere, point, query % 2 == 0 ? 100 : 500, query % 3 == 0 ? 0.35f : 2.5f);
  }

  // An integer lattice: many equal distances, so the cut at maxCount falls among ties.
  std::vector<Vector3> lattice;
  for (int x = 0; x < 12; ++x) {
    for (int y = 0; y < 12; ++y) lattice.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
  }
  SampleArray latticeSamples = MakeSamples(lattice);
  SampleMap flat(latticeSamples);
  for (int maxCount : {1, 4, 5, 9, 13, 30}) ExpectSameAsBruteForce(flat, {5, 5, 0}, maxCount, 20.0f);
  ExpectSameAsBruteForce(flat, {5.5f, 5.5f, 0.0f}, 4, 0.75f);

  // A crowd far denser than the rest: more candidates than a search gathers at once.
  std::vector<Vector3> crowd = RandomPositions(2000, 9, false);
  for (int i = 0; i < 10000; ++i) crowd.push_back({0.01f * unit(random), 0.01f * unit(random), 0.01f * unit(random)});
  SampleArray crowdSamples = MakeSamples(crowd);
  SampleMap crowded(crowdSamples);
  ExpectSameAsBruteForce(crowded, {0.005f, 0.005f, 0.005f}, 500, 1.0f);
  ExpectSameAsBruteForce(crowded, {0.5f, 0.0f, 0.0f}, 300, 0.6f);

  // A plane with a dense patch, searched from above it: the first reach comes from the plane's
  // density, so a point high over it finds nothing or a thin disc first and must regrow, and one
  // over the patch gathers far more than it keeps.
  std::vector<Vector3> plane;
  for (int i = 0; i < 40000; ++i) plane.push_back({unit(random), unit(random), 0.0f});
  for (int i = 0; i < 20000; ++i) plane.push_back({0.5f + 0.02f * unit(random), 0.5f + 0.02f * unit(random), 0.0f});
  SampleArray planeSamples = MakeSamples(plane);
  SampleMap sheet(planeSamples);
  for (int query = 0; query < 60; ++query) {
    const float height = 0.004f * static_cast<float>(query % 20) * static_cast<float>(query % 20);
    ExpectSameAsBruteForce(sheet, {0.3f + 0.01f * static_cast<float>(query), 0.5f, height}, 100, 0.5f);
  }

  // All samples on one spot.
  SampleArray spotSamples = MakeSamples(std::vector<Vector3>(50, Vector3{1, 2, 3}));
  SampleMap spot(spotSamples);
  ExpectSameAsBruteForce(spot, {1, 2, 3.5f}, 10, 1.0f);
}

TEST(SampleMap, TradingCopiesTheRecordsInAndTheQuantitiesBack) {
  SampleArray samples = MakeSamples(RandomPositions(500, 5, false));
  SampleMap map(samples);
  for (int step = 0; step < 2; ++step) {
    // Between steps the records change (ageing): each trading starts from them as they are now.
    for (uint32_t i = 0; i < map.Count(); ++i) {
      SurfaceSample& record = map.Items()[i];
      record.dirt = static_cast<float>(step * 1000 + i);
      record.bounceDamping = record.dirt + 0.5f;
      record.normal = {record.dirt, 1.0f, 2.0f};
    }
    {
      const TradingWindow trading(map);
      uint32_t slots[kMaxNeighbours];
      const int found = FindNearestTraded(map, map.Items()[7].position, kMaxNeighbours, 10.0f, slots);
      ASSERT_EQ(found, kMaxNeighbours);
      for (int i = 0; i < found; ++i) {
        TradedSample& copy = map.Traded()[slots[i]];
        ASSERT_EQ(copy.bounceDamping, copy.dirt + 0.5f);
        ASSERT_EQ(copy.normal.x, copy.dirt);
        ASSERT_GE(copy.dirt, static_cast<float>(step * 1000));
        copy.rust = copy.dirt + 0.25f;  // a trade
      }
    }
    // Out of the window the copies are stale: a search names none of them.
    uint32_t slots[kMaxNeighbours];
    EXPECT_EQ(FindNearestTraded(map, map.Items()[7].position, kMaxNeighbours, 10.0f, slots), 0);
    uint32_t traded = 0;
    for (uint32_t i = 0; i < map.Count(); ++i) {
      const SurfaceSample& record = map.Items()[i];
      if (record.rust != 0.0f) {
        ASSERT_EQ(record.rust, record.dirt + 0.25f);
        ++traded;
        map.Items()[i].rust = 0.0f;
      }
    }
    EXPECT_EQ(traded, static_cast<uint32_t>(kMaxNeighbours));
  }
}

TEST(SampleMap, EmptyMapsAndFarPointsFindNothing) {
  SampleArray none;
  SampleMap empty(none);
  NeighbourList list;
  EXPECT_EQ(FindNearest(empty, {0, 0, 0}, 10, 1.0f, list), 0);

  SampleArray samples = MakeSamples({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  SampleMap map(samples);
  EXPECT_EQ(FindNearest(map, {10, 10, 10}, 10, 1.0f, list), 0);
  EXPECT_EQ(FindNearest(map, {0, 0, 0}, 0, 1.0f, list), 0);
  // A point exactly at the radius is outside: the test is strict.
  EXPECT_EQ(FindNearest(map, {0, 0, 0}, 10, 1.0f, list), 1);
}

TEST(SampleArray, DropsPastCapacityAndAppendsInOrder) {
  SampleArray first;
  first.Init(2);
  SurfaceSample sample{};
  for (float value : {1.0f, 2.0f, 3.0f}) {
    sample.dirt = value;
    first.Push(sample);
  }
  EXPECT_EQ(first.Count(), 2u);

  SampleArray second;
  second.Init(5);
  sample.dirt = 4.0f;
  second.Push(sample);
  second.ShrinkToFit();
  EXPECT_EQ(second.Capacity(), 1u);

  EXPECT_TRUE(first.Append(second));
  ASSERT_EQ(first.Count(), 3u);
  EXPECT_EQ(first.Capacity(), 3u);
  EXPECT_EQ(first[0].dirt, 1.0f);
  EXPECT_EQ(first[1].dirt, 2.0f);
  EXPECT_EQ(first[2].dirt, 4.0f);
}

}  // namespace
}  // namespace Simulation
