#include "simulation/trace_task.h"

#include <algorithm>
#include <cmath>

#include "simulation/flow_direction.h"
#include "simulation/sample_trade.h"
#include "threadinglib/thread_pool.h"

namespace Simulation {
namespace {

using RenderLib::Vector3;

// A summed normal shorter than this is left as it is rather than normalised.
constexpr float kDegenerateNormal = 0.00001f;

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
    here = position + FlowDirection(normal, random.NextUnit()) * ((avgHumidity * 50.0f + 1.0f) * sampleSpacing);
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
  const float choice = random.NextUnit();
  if (choice < pBounce) {
    state = kBounce;
  } else if (choice < pBounce + pScatter) {
    state = kScatter;
  } else if (choice < pBounce + pScatter + pFlow) {
    state = kFlow;
  } else {
    state = kSettle;
  }

  // 6. Trade with every neighbour. Each neighbour's trade starts from the load the ton brought,
  // so the ton leaves with what its trade with the last neighbour gives it. A reproducible run
  // only records the samples' side, to apply it in the tons' order once the batch is traced.
  const float carried[3] = {carriedHumidity, carriedDirt, carriedRust};
  TradedSample& last = samples[neighbours[found - 1]];
  const float held[3] = {LoadQuantity(last.humidity), LoadQuantity(last.dirt), LoadQuantity(last.rust)};
  float leaving[3];
  TradeIntoTon(state, share, carried, held, leaving);
  if (tradeLog != nullptr) {
    tradeLog->Append(trades, state, found, carried, neighbours);
  } else {
    for (int i = 0; i < found; ++i) TradeIntoSample(samples[neighbours[i]], state, share, carried);
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
    const float u1 = random.NextUnit();
    const float u2 = random.NextUnit();
    target = position + HemisphereDirection(normal, u1, u2) * (10.0f * searchRadius);
  }

  // 11. The next leg, on whichever worker is free. When the pool no longer takes work (the
  // step was called off) the ton simply ends.
  Pool()->Submit(this);
}

}  // namespace Simulation
