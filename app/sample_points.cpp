#include "app/sample_points.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

void WritePoints(const Simulation::SurfaceSample* samples, uint32_t count, Viewer::PointVertex* vertices) {
  for (uint32_t i = 0; i < count; ++i) {
    const float d = samples[i].dirt;
    vertices[i] = {{samples[i].position.x, samples[i].position.y, samples[i].position.z}, {d, d, d, 1.0f}};
  }
}

}  // namespace

void SamplePoints::Reset(Platform::GraphicsDevice* target, uint32_t points) {
  device = target;
  count = target != nullptr ? points : 0;
  written = 0;
  failed = false;
  chunks.clear();
  chunks.resize((count + kChunkPoints - 1) / kChunkPoints);
}

void SamplePoints::WriteSome(const Simulation::SurfaceSample* samples) {
  const auto start = std::chrono::steady_clock::now();
  while (WritingLeft()) {
    const size_t chunk = written / kChunkPoints;
    const uint32_t points = std::min(kChunkPoints, count - written);
    const uint32_t bytes = points * static_cast<uint32_t>(sizeof(Viewer::PointVertex));
    if (chunks[chunk]) {
      auto* vertices = static_cast<Viewer::PointVertex*>(chunks[chunk]->MapDiscard());
      if (vertices == nullptr) {
        failed = true;
        return;
      }
      WritePoints(samples + written, points, vertices);
      chunks[chunk]->Unmap();
    } else {
      // A new buffer takes its contents as it is made: filling it afterwards would make its
      // storage twice.
      staging.resize(kChunkPoints);
      WritePoints(samples + written, points, staging.data());
      if (Platform::Failed(device->CreateVertexBuffer(bytes, staging.data(), true, &chunks[chunk]))) {
        std::fprintf(stderr, "patinex: no room on the device for %u sample points\n", count);
        failed = true;
        return;
      }
    }
    written += points;
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= kWriteSeconds) break;
  }
}

void SamplePoints::Draw(Viewer::PointEffect& effect, uint32_t first, uint32_t points,
                        const Viewer::CameraMatrices& camera) {
  const uint32_t end = std::min(first + points, written);
  while (first < end) {
    const size_t chunk = first / kChunkPoints;
    const uint32_t offset = first % kChunkPoints;
    const uint32_t inChunk = std::min(end - first, kChunkPoints - offset);
    effect.Draw(chunks[chunk].get(), inChunk, camera, offset);
    first += inChunk;
  }
}
