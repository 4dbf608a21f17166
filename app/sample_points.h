#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics_device.h"
#include "simulation/surface_sample.h"
#include "viewer/scene_effects.h"

// The sample points on the device: one point vertex per sample (its position and the colour
// (d, d, d, 1), d its dirt), in buffers of kChunkPoints points. A few chunks are written a frame,
// in the samples' order, so that millions of points never hold the window thread for long; the
// points written so far can be drawn meanwhile.
class SamplePoints {
public:
  static constexpr uint32_t kChunkPoints = 1u << 16;
  // Chunks are written for about this long a frame, at least one.
  static constexpr double kWriteSeconds = 0.01;

  // Room for count points on the device, none written; the buffers come as they are written.
  void Reset(Platform::GraphicsDevice* device, uint32_t count);
  void Release() { Reset(nullptr, 0); }
  // The samples changed: every point is written again.
  void MarkStale() { written = 0; }

  Platform::GraphicsDevice* Device() const { return device; }
  uint32_t Count() const { return count; }
  // Points 0 .. Written() - 1 show the samples.
  uint32_t Written() const { return written; }
  // Whether points are left to write (none are after the device had no room for a chunk).
  bool WritingLeft() const { return written < count && !failed; }
  // Writes the next chunks from the samples (Count() records). When the device has no room for
  // a chunk, says so on stderr and writes nothing more until the next Reset; the points written
  // so far stay.
  void WriteSome(const Simulation::SurfaceSample* samples);
  // Draws count written points from first on.
  void Draw(Viewer::PointEffect& effect, uint32_t first, uint32_t count, const Viewer::CameraMatrices& camera);

private:
  Platform::GraphicsDevice* device = nullptr;
  uint32_t count = 0;
  uint32_t written = 0;
  bool failed = false;
  std::vector<std::unique_ptr<Platform::Buffer>> chunks;
  // A chunk's vertices before they go to a new buffer; kept for the next one.
  std::vector<Viewer::PointVertex> staging;
};
