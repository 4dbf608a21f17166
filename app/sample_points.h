#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics_device.h"
#include "simulation/surface_sample.h"
#include "viewer/scene_effects.h"

// The sample points: one point vertex per sample (its position, its normal and the colour
// (d, d, d, 1), d its dirt), kept on the CPU and on the device in buffers of kChunkPoints points. A few chunks are
// made a frame, in the samples' order, so that millions of points never hold the window thread
// for long; the points made so far can be drawn meanwhile. The CPU copy outlives the device, so a
// new device gets the points back while a run changes the samples themselves.
class SamplePoints {
public:
  static constexpr uint32_t kChunkPoints = 1u << 16;
  // Chunks are written for about this long a frame, at least one.
  static constexpr double kWriteSeconds = 0.01;

  // The samples changed (there are count now): every point is made again. The device's buffers
  // stay when the count does, to be written over.
  void Reset(uint32_t count);
  void Release();
  // The device goes: its buffers with it. The CPU copy stays for the next device.
  void ReleaseDevice();

  uint32_t Count() const { return count; }
  // Points 0 .. Written() - 1 are on the device and show the samples.
  uint32_t Written() const { return written; }
  // Whether points are left to write (none are after the device had no room for a chunk); with
  // samplesSteady false (a run changes them), only those the CPU copy holds count.
  bool WritingLeft(bool samplesSteady) const;
  // Writes the next chunks to the device, making their CPU copy from the samples (Count()
  // records) first where it is not made yet, unless samples is null. When the device has no
  // room for a chunk, says so on stderr and writes nothing more until the next Reset or device.
  void WriteSome(Platform::GraphicsDevice& device, const Simulation::SurfaceSample* samples);
  // Makes the rest of the CPU copy from the samples now (before a run starts changing them).
  void CopyRest(const Simulation::SurfaceSample* samples);
  // Draws count written points from first on.
  void Draw(Viewer::PointEffect& effect, uint32_t first, uint32_t count, const Viewer::CameraMatrices& camera);

private:
  uint32_t count = 0;
  uint32_t copied = 0;   // points of the CPU copy made from the current samples
  uint32_t written = 0;  // points on the device
  bool failed = false;
  // Not value-initialised: millions of points would be cleared only to be overwritten.
  std::unique_ptr<Viewer::PointVertex[]> vertices;
  std::vector<std::unique_ptr<Platform::Buffer>> chunks;
};
