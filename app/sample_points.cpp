#include "app/sample_points.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

void MakePoints(const Simulation::SurfaceSample* samples, uint32_t count, Viewer::PointVertex* vertices) {
  for (uint32_t i = 0; i < count; ++i) {
    const Simulation::SurfaceSample& s = samples[i];
    const float d = s.dirt;
    vertices[i] = {{s.position.x, s.position.y, s.position.z}, {s.normal.x, s.normal.y, s.normal.z}, {d, d, d, 1.0f}};
  }
}

}  // namespace

void SamplePoints::Reset(uint32_t points) {
  if (points != count) {
    chunks.clear();
    vertices.reset();
    count = points;
    if (count > 0) vertices = std::make_unique_for_overwrite<Viewer::PointVertex[]>(count);
    chunks.resize((count + kChunkPoints - 1) / kChunkPoints);
  }
  copied = 0;
  written = 0;
  failed = false;
}

void SamplePoints::Release() { Reset(0); }

void SamplePoints::ReleaseDevice() {
  for (std::unique_ptr<Platform::Buffer>& chunk : chunks) chunk.reset();
  written = 0;
  failed = false;
}

bool SamplePoints::WritingLeft(bool samplesSteady) const {
  return !failed && written < (samplesSteady ? count : copied);
}

void SamplePoints::WriteSome(Platform::GraphicsDevice& device, const Simulation::SurfaceSample* samples) {
  const auto start = std::chrono::steady_clock::now();
  while (WritingLeft(samples != nullptr)) {
    const size_t chunk = written / kChunkPoints;
    const uint32_t points = std::min(kChunkPoints, count - written);
    Viewer::PointVertex* source = vertices.get() + written;
    if (copied < written + points) {
      MakePoints(samples + written, points, source);
      copied = written + points;
    }
    if (chunks[chunk]) {
      void* target = chunks[chunk]->MapDiscard();
      if (target == nullptr) {
        failed = true;
        return;
      }
      std::memcpy(target, source, points * sizeof(Viewer::PointVertex));
      chunks[chunk]->Unmap();
    } else if (Platform::Failed(device.CreateVertexBuffer(points * static_cast<uint32_t>(sizeof(Viewer::PointVertex)),
                                                          source, true, &chunks[chunk]))) {
      std::fprintf(stderr, "patinex: no room on the device for %u sample points\n", count);
      chunks[chunk].reset();
      failed = true;
      return;
    }
    written += points;
    if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= kWriteSeconds) break;
  }
}

void SamplePoints::CopyRest(const Simulation::SurfaceSample* samples) {
  if (copied < count) MakePoints(samples + copied, count - copied, vertices.get() + copied);
  copied = count;
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
