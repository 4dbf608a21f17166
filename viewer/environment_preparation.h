#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/matrix_math.h"

namespace ThreadingLib {
class ThreadPool;
}

// An HDR environment made ready for lighting on the CPU, with no device involved: the pieces
// EnvironmentLight uploads and media/environment_light.glsl reads. Directions follow
// viewer/environment_directions.h.
namespace Viewer {

// An equirectangular picture of linear radiance: R, G, B floats, rows from the top.
struct RadianceMap {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<float> rgb;
};

// Roughness levels of the specular map: level i is prefiltered for perceptual roughness
// i / (kSpecularLevels - 1), and each level is half the size of the one before.
inline constexpr uint32_t kSpecularLevels = 6;
// The widest level 0 kept; wider pictures are halved until they fit.
inline constexpr uint32_t kMaxSpecularWidth = 1024;
// Radiance above this many times the environment's mean, in the region of its brightest spot,
// is taken out of the maps and given to the punctual main light, so the two never count a sun
// twice; what stays there still shows as the brightest spot in reflections.
inline constexpr float kMainLightCeilingOverMean = 8.0f;
// How far from the brightest spot radiance still counts towards the main light.
inline constexpr float kMainLightRegionDegrees = 30.0f;

struct PreparedEnvironment {
  // GGX-prefiltered radiance, kSpecularLevels levels.
  std::vector<RadianceMap> specular;
  // Irradiance divided by pi as spherical harmonics up to order 2, in the order
  // (0,0), (1,-1), (1,0), (1,1), (2,-2), (2,-1), (2,0), (2,1), (2,2); RGB each.
  float diffuse[9][3] = {};
  // Towards the main light, unit length, and its colour: the irradiance it brings to a surface
  // facing it, in the same linear units as the radiance.
  Platform::Float3 mainLightDirection{0.0f, 1.0f, 0.0f};
  Platform::Float3 mainLightColor{};
};

// Reads a Radiance .hdr file. False with error saying why.
bool ReadRadianceMap(const std::string& path, RadianceMap* map, std::string* error);

// Runs on the pool's workers when one is given, otherwise on the calling thread. The source
// must be at least 2 x 1 texels.
PreparedEnvironment PrepareEnvironment(const RadianceMap& source, ThreadingLib::ThreadPool* pool);

// The prepared diffuse term for unit normal n, as the shader evaluates it: the cosine-weighted
// irradiance around n divided by pi, never negative.
Platform::Float3 EvaluateDiffuse(const PreparedEnvironment& environment, Platform::Float3 n);
// Bilinear radiance of a map along unit direction d.
Platform::Float3 SampleRadiance(const RadianceMap& map, Platform::Float3 d);

}  // namespace Viewer
