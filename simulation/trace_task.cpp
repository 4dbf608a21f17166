#include "simulation/trace_task.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "simulation/orthonormal_basis.h"
#include "simulation/random_unit.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// A summed normal shorter than this is left as it is rather than normalised.
constexpr float kDegenerateNormal = 0.00001f;

// Sample quantities are traded by every worker at once with no lock: each read and write is a
// relaxed atomic, so there is no data race, and when two tons trade with one sample at the same
// moment one of the two writes may win, which the simulation accepts.
float LoadQuantity(float& quantity) { return std::atomic_ref<float>(quantity).load(std::memory_order_relaxed); }
void StoreQuantity(float& quantity, float value) {
  std::atomic_ref<float>(quantity).store(value, std::memory_order_relaxed);
}

// Where a flowing ton goes from a point with surface normal n: down the slope (gravity along -y
// projected onto the tangent plane, not normalised, so gentle slopes move the ton less) with a
// random sideways share, or along a fixed tangent where the surface is nearly level.
Vector3 FlowDirection(const Vector3& n) {
  if (std::fabs(n.y) > 0.9f) {
    Vector3 t1;
    Vector3 t2;
    OrthonormalBasis(n, t1, t2);
    return t2;
  }
  const Vector3 downhill{n.x * n.y, -(n.x * n.x + n.z * n.z), n.y * n.z};
  const Vector3 across = RenderLib::Cross(n, downhill);
  return downhill + across * (ThreadRandomUnit() - 0.5f);
}

// A uniformly distributed direction of the hemisphere about the unit normal n.
Vector3 HemisphereDirection(const Vector3& n) {
  const float u1 = ThreadRandomUnit();
  const float u2 = ThreadRandomUnit();
  const float w = 1.0f - 2.0f * u2;
  const float s = std::sqrt(std::max(0.0f, 1.0f - w * w));
  const float phi = u1 * 6.2831855f;
  const float x = std::cos(phi) * s;
  const float y = std::fabs(std::sin(phi) * s);
  Vector3 t1;
  Vector3 t2;
  OrthonormalBasis(n, t1, t2);
  return t1 * x + n * y + t2 * w;
}

}  // namespace

void TraceTask::Run(uint32_t /*context*/) {
  ++legs;

  // 1. Where the ton is now: the nearest surface crossed by the straight leg, or for a flowing
  // ton a step over the surface with no ray at all.
  Vector3 here;
  if (state != kFlow) {
    RenderLib::KdRay ray;
    ray.origin = position;
    ray.end = target;
    RenderLib::KdHit hit;
    if (!kdTree->Intersect(ray, *mesh, hit)) return;
    Vector3 direction = target - position;
    direction.Normalize();
    here = position + direction * hit.distance;
  } else {
    // Where the normals around the last hit cancel out (the two faces of a thin sheet) there is
    // no downhill: the ton would stay on the spot, and once its flow weight has grown past 1
    // under an overhang it would flow there for ever. It ends instead.
    if (RenderLib::Dot(normal, normal) < kDegenerateNormal * kDegenerateNormal) return;
    here = position + FlowDirection(normal) * ((avgHumidity * 50.0f + 1.0f) * sampleSpacing);
  }

  // 2. The samples around it; with fewer than three the ton has left the surface.
  uint32_t neighbours[kMaxNeighbours];
  const int found = FindNearestTraded(*sampleMap, here, maxNeighbours, searchRadius, neighbours);
  if (found < 3) return;
  TradedSample* const samples = sampleMap->Traded();
  const float share = 1.0f / static_cast<float>(found);

  // 3. What the surface is like here.
  float sumHumidity = 0.0f;
  float sumDirt = 0.0f;
  float sumRust = 0.0f;
  float sumBounceDamping = 0.0f;
  float sumScatterDamping = 0.0f;
  float sumFlowDamping = 0.0f;
  Vector3 normalSum;
  for (int i = 0; i < found; ++i) {
    TradedSample& sample = samples[neighbours[i]];
    sumHumidity += LoadQuantity(sample.humidity);
    sumDirt += LoadQuantity(sample.dirt);
    sumRust += LoadQuantity(sample.rust);
    // The damping factors are rewritten only between steps, never while tons run.
    sumBounceDamping += sample.bounceDamping;
    sumScatterDamping += sample.scatterDamping;
    sumFlowDamping += sample.flowDamping;
    normalSum += sample.normal;
  }
  avgHumidity = sumHumidity * share;
  avgDirt = sumDirt * share;
  avgRust = sumRust * share;
  normalSum.Normalize();
  normal = normalSum;

  // 4. The surface damps what the ton may do next ...
  pBounce = std::max(0.0f, pBounce - sumBounceDamping * share);
  pScatter = std::max(0.0f, pScatter - sumScatterDamping * share);
  pFlow = std::max(0.0f, pFlow - sumFlowDamping * share);

  // 5. ... and one draw chooses it; what the weights leave below 1 goes to settling.
  const float choice = ThreadRandomUnit();
  if (choice < pBounce) {
    state = kBounce;
  } else if (choice < pBounce + pScatter) {
    state = kScatter;
  } else if (choice < pBounce + pScatter + pFlow) {
    state = kFlow;
  } else {
    state = kSettle;
  }

  // 6. Trade with every neighbour. Each neighbour's trade starts from the load the ton brought
  // (T), so the ton leaves with what its trade with the last neighbour gave it. The result is
  // kept in locals and stored once: stored per neighbour it would be written to the task a
  // hundred times a leg, since the compiler cannot tell the task from a sample.
  const float carried[3] = {carriedHumidity, carriedDirt, carriedRust};
  float leaving[3] = {carried[0], carried[1], carried[2]};
  for (int i = 0; i < found; ++i) {
    TradedSample& sample = samples[neighbours[i]];
    float* quantities[3] = {&sample.humidity, &sample.dirt, &sample.rust};
    if (state == kBounce || state == kScatter) {
      const float a = share * 0.5f;
      float traded[3];
      for (int q = 0; q < 3; ++q) {
        const float before = LoadQuantity(*quantities[q]);
        StoreQuantity(*quantities[q], a * carried[q] + (1.0f - a) * before);
        traded[q] = (1.0f - a) * carried[q] + a * before;
      }
      leaving[0] = traded[0];
      leaving[1] = traded[1];
      leaving[2] = traded[2];
    } else if (state == kFlow) {
      StoreQuantity(sample.humidity, LoadQuantity(sample.humidity) + 0.5f * share * carried[0]);
      const float a = 0.3f * share;
      const float dirtBefore = LoadQuantity(sample.dirt);
      StoreQuantity(sample.dirt, (1.0f - a) * dirtBefore + a * carried[1]);
      leaving[1] = (1.0f - a) * carried[1] + a * dirtBefore;
    } else {
      for (int q = 0; q < 3; ++q) {
        StoreQuantity(*quantities[q], LoadQuantity(*quantities[q]) + 0.5f * share * carried[q]);
      }
    }
  }

  carriedHumidity = leaving[0];
  carriedDirt = leaving[1];
  carriedRust = leaving[2];

  // 7, 8. An empty ton and a settled one are done.
  constexpr double kEmpty = 0.00001;
  if (static_cast<double>(carriedHumidity) < kEmpty && static_cast<double>(carriedDirt) < kEmpty &&
      static_cast<double>(carriedRust) < kEmpty) {
    return;
  }
  if (state == kSettle) return;

  // 9, 10. The next leg starts just off the surface. A flowing ton can only flow or settle from
  // now on. A bouncing ton flies a straight leg as long as the emission radius (ten search
  // radii), so a bounce can reach any part of the model, and a ton that flies off the model
  // misses on its next cast and ends.
  position = here + normal * 0.001f;
  if (state == kFlow) {
    pBounce = 0.0f;
    pScatter = 0.0f;
  } else {
    target = position + HemisphereDirection(normal) * (10.0f * searchRadius);
  }

  // 11. The next leg, on whichever worker is free. When the pool no longer takes work (the
  // step was called off) the ton simply ends.
  Pool()->Submit(this);
}

}  // namespace Simulation
