#include "viewer/environment_preparation.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "imagelib/decoded_image.h"
#include "imagelib/radiance_reader.h"
#include "threadinglib/task.h"
#include "threadinglib/thread_pool.h"
#include "viewer/environment_directions.h"
#include "viewer/environment_sampling.h"

namespace Viewer {
namespace {

using Platform::Float3;

// GGX samples a texel of a rough level averages. With the samples read from a level of the
// source as wide as each sample's share of the lobe, this many hide the sampling pattern.
constexpr uint32_t kFilterSamples = 48;
// The source pyramid those samples read from stops at this width.
constexpr uint32_t kSmallestSourceWidth = 4;

float Luminance(const float* c) { return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2]; }

float TexelSolidAngle(uint32_t width, uint32_t height, uint32_t y) {
  return (2.0f * kPi / float(width)) * (kPi / float(height)) * std::sin(kPi * (float(y) + 0.5f) / float(height));
}

Float3 TexelDirection(uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
  return EquirectDirection((float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height));
}

// The directions of a map's texel centres from one sine and cosine per row and per column, for
// the loops that visit every texel.
class TexelDirections {
public:
  TexelDirections(uint32_t width, uint32_t height) : columns(width), rows(height) {
    for (uint32_t x = 0; x < width; ++x) {
      const Float3 d = TexelDirection(width, 1, x, 0);
      columns[x] = {d.x, d.z};
    }
    for (uint32_t y = 0; y < height; ++y) {
      const float theta = kPi * (float(y) + 0.5f) / float(height);
      rows[y] = {std::sin(theta), std::cos(theta)};
    }
  }
  Float3 At(uint32_t x, uint32_t y) const {
    return {rows[y][0] * columns[x][0], rows[y][1], rows[y][0] * columns[x][1]};
  }

private:
  std::vector<std::array<float, 2>> columns;  // sin and cos of the azimuth
  std::vector<std::array<float, 2>> rows;     // sin and cos of the angle from +y
};

// Box-filtered to half the size (at least 1 x 1); an odd last row or column is averaged with
// its neighbour's texels clamped in.
RadianceMap Halved(const RadianceMap& map) {
  RadianceMap half;
  half.width = std::max(1u, map.width / 2);
  half.height = std::max(1u, map.height / 2);
  half.rgb.resize(size_t(half.width) * half.height * 3);
  for (uint32_t y = 0; y < half.height; ++y) {
    const uint32_t y0 = std::min(2 * y, map.height - 1), y1 = std::min(2 * y + 1, map.height - 1);
    for (uint32_t x = 0; x < half.width; ++x) {
      const uint32_t x0 = std::min(2 * x, map.width - 1), x1 = std::min(2 * x + 1, map.width - 1);
      for (int c = 0; c < 3; ++c) {
        const float sum = map.rgb[(size_t(y0) * map.width + x0) * 3 + c] + map.rgb[(size_t(y0) * map.width + x1) * 3 + c] +
                          map.rgb[(size_t(y1) * map.width + x0) * 3 + c] + map.rgb[(size_t(y1) * map.width + x1) * 3 + c];
        half.rgb[(size_t(y) * half.width + x) * 3 + c] = 0.25f * sum;
      }
    }
  }
  return half;
}

// u wraps round the horizon, v stops at the poles.
Float3 Bilinear(const RadianceMap& map, float u, float v) {
  const float x = u * float(map.width) - 0.5f;
  const float y = std::clamp(v * float(map.height) - 0.5f, 0.0f, float(map.height - 1));
  const float xFloor = std::floor(x), yFloor = std::floor(y);
  const float fx = x - xFloor, fy = y - yFloor;
  const int w = int(map.width);
  const int x0 = ((int(xFloor) % w) + w) % w;
  const int x1 = (x0 + 1) % w;
  const int y0 = int(yFloor);
  const int y1 = std::min(y0 + 1, int(map.height) - 1);
  const float* a = &map.rgb[(size_t(y0) * map.width + size_t(x0)) * 3];
  const float* b = &map.rgb[(size_t(y0) * map.width + size_t(x1)) * 3];
  const float* c = &map.rgb[(size_t(y1) * map.width + size_t(x0)) * 3];
  const float* d = &map.rgb[(size_t(y1) * map.width + size_t(x1)) * 3];
  float out[3];
  for (int i = 0; i < 3; ++i) {
    const float top = a[i] + (b[i] - a[i]) * fx;
    const float bottom = c[i] + (d[i] - c[i]) * fx;
    out[i] = top + (bottom - top) * fy;
  }
  return {out[0], out[1], out[2]};
}

// Radiance above the ceiling near the brightest texel moves from the map into the main light;
// the light points at the centre of what was moved (or at the brightest texel when nothing was).
void TakeOutMainLight(RadianceMap& map, PreparedEnvironment& out) {
  double weighted = 0.0, solidAngle = 0.0;
  size_t brightest = 0;
  float brightestLuminance = -1.0f;
  for (uint32_t y = 0; y < map.height; ++y) {
    const float omega = TexelSolidAngle(map.width, map.height, y);
    for (uint32_t x = 0; x < map.width; ++x) {
      const size_t i = size_t(y) * map.width + x;
      const float luminance = Luminance(&map.rgb[i * 3]);
      weighted += double(luminance) * omega;
      solidAngle += omega;
      if (luminance > brightestLuminance) {
        brightestLuminance = luminance;
        brightest = i;
      }
    }
  }
  const Float3 peak = TexelDirection(map.width, map.height, uint32_t(brightest % map.width), uint32_t(brightest / map.width));
  const float ceiling = kMainLightCeilingOverMean * float(weighted / solidAngle);
  const float regionCosine = std::cos(kMainLightRegionDegrees * kPi / 180.0f);
  const TexelDirections directions(map.width, map.height);
  Float3 towards{}, color{};
  for (uint32_t y = 0; y < map.height; ++y) {
    const float omega = TexelSolidAngle(map.width, map.height, y);
    for (uint32_t x = 0; x < map.width; ++x) {
      float* rgb = &map.rgb[(size_t(y) * map.width + x) * 3];
      const float luminance = Luminance(rgb);
      if (luminance <= ceiling) continue;
      const Float3 d = directions.At(x, y);
      if (Platform::Vec3Dot(d, peak) < regionCosine) continue;
      const float kept = ceiling / luminance;
      color += Float3{rgb[0], rgb[1], rgb[2]} * ((1.0f - kept) * omega);
      towards += d * ((luminance - ceiling) * omega);
      for (int c = 0; c < 3; ++c) rgb[c] *= kept;
    }
  }
  out.mainLightDirection = Platform::Vec3Length(towards) > 0.0f ? Platform::Vec3Normalize(towards) : peak;
  out.mainLightColor = color;
}

// Real spherical harmonics up to order 2 at unit direction d.
void Harmonics(Float3 d, float y[9]) {
  y[0] = 0.282095f;
  y[1] = 0.488603f * d.y;
  y[2] = 0.488603f * d.z;
  y[3] = 0.488603f * d.x;
  y[4] = 1.092548f * d.x * d.y;
  y[5] = 1.092548f * d.y * d.z;
  y[6] = 0.315392f * (3.0f * d.z * d.z - 1.0f);
  y[7] = 1.092548f * d.x * d.z;
  y[8] = 0.546274f * (d.x * d.x - d.y * d.y);
}

// Projects the radiance and convolves it with the clamped cosine: the bands scale by pi, 2 pi / 3
// and pi / 4, here divided by pi for Lambert's albedo / pi.
void ProjectDiffuse(const RadianceMap& map, PreparedEnvironment& out) {
  double sums[9][3] = {};
  const TexelDirections directions(map.width, map.height);
  for (uint32_t y = 0; y < map.height; ++y) {
    const float omega = TexelSolidAngle(map.width, map.height, y);
    for (uint32_t x = 0; x < map.width; ++x) {
      float basis[9];
      Harmonics(directions.At(x, y), basis);
      const float* rgb = &map.rgb[(size_t(y) * map.width + x) * 3];
      for (int k = 0; k < 9; ++k) {
        for (int c = 0; c < 3; ++c) sums[k][c] += double(rgb[c]) * basis[k] * omega;
      }
    }
  }
  constexpr float kBand[9] = {1.0f, 2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f, 0.25f, 0.25f, 0.25f, 0.25f, 0.25f};
  for (int k = 0; k < 9; ++k) {
    for (int c = 0; c < 3; ++c) out.diffuse[k][c] = float(sums[k][c]) * kBand[k];
  }
}

// A reflected direction around the normal (z in the local frame), its cosine weight, and the
// source level whose texels match the solid angle the sample stands for.
struct FilterSample {
  Float3 local;
  float weight;
  float lod;
};

// With the view along the normal, as split-sum prefiltering assumes, the sample set is the
// same for every texel, only turned.
std::vector<FilterSample> GgxSamples(float roughness, float sourceTexelSolidAngle) {
  const float alpha = roughness * roughness;
  const float alpha2 = alpha * alpha;
  std::vector<FilterSample> samples;
  for (uint32_t i = 0; i < kFilterSamples; ++i) {
    const float e1 = (float(i) + 0.5f) / float(kFilterSamples);
    const float e2 = RadicalInverse(i);
    const float cosH = std::sqrt((1.0f - e1) / (1.0f + (alpha2 - 1.0f) * e1));
    const float sinH = std::sqrt(std::max(0.0f, 1.0f - cosH * cosH));
    const float phi = 2.0f * kPi * e2;
    const Float3 h{sinH * std::cos(phi), sinH * std::sin(phi), cosH};
    const Float3 l = h * (2.0f * cosH) - Float3{0.0f, 0.0f, 1.0f};
    if (l.z <= 0.0f) continue;
    const float denominator = (alpha2 - 1.0f) * cosH * cosH + 1.0f;
    const float pdf = alpha2 / (kPi * denominator * denominator) * 0.25f;
    const float sampleSolidAngle = 1.0f / (float(kFilterSamples) * pdf);
    const float lod = std::max(0.0f, 0.5f * std::log2(sampleSolidAngle / sourceTexelSolidAngle) + 1.0f);
    samples.push_back({l, l.z, lod});
  }
  return samples;
}

Float3 Trilinear(const std::vector<RadianceMap>& pyramid, float u, float v, float lod) {
  const float top = float(pyramid.size() - 1);
  lod = std::min(lod, top);
  const uint32_t fine = uint32_t(lod);
  const float t = lod - float(fine);
  const Float3 a = Bilinear(pyramid[fine], u, v);
  if (t <= 0.0f || fine + 1 >= pyramid.size()) return a;
  return a + (Bilinear(pyramid[fine + 1], u, v) - a) * t;
}

// One level's rows from first to end, filtered from the source pyramid.
class FilterRowsTask : public ThreadingLib::Task {
public:
  FilterRowsTask(ThreadingLib::ThreadPool* pool, const std::vector<RadianceMap>* pyramid,
                 const std::vector<FilterSample>* samples, RadianceMap* level, uint32_t first, uint32_t end)
      : Task(pool), pyramid(pyramid), samples(samples), level(level), first(first), end(end) {}

  uint32_t Prepare() override { return 0; }
  void Run(uint32_t) override {
    for (uint32_t y = first; y < end; ++y) {
      for (uint32_t x = 0; x < level->width; ++x) {
        const Float3 n = TexelDirection(level->width, level->height, x, y);
        // An orthonormal frame around n that has no break except at n.z = -1 exactly.
        const float sign = std::copysign(1.0f, n.z);
        const float a = -1.0f / (sign + n.z);
        const float b = n.x * n.y * a;
        const Float3 t{1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x};
        const Float3 s{b, sign + n.y * n.y * a, -n.y};
        Float3 sum{};
        float weights = 0.0f;
        for (const FilterSample& sample : *samples) {
          const Float3 d = t * sample.local.x + s * sample.local.y + n * sample.local.z;
          float u, v;
          EquirectCoordinates(d, &u, &v);
          sum += Trilinear(*pyramid, u, v, sample.lod) * sample.weight;
          weights += sample.weight;
        }
        float* out = &level->rgb[(size_t(y) * level->width + x) * 3];
        out[0] = sum.x / weights;
        out[1] = sum.y / weights;
        out[2] = sum.z / weights;
      }
    }
  }

private:
  const std::vector<RadianceMap>* pyramid;
  const std::vector<FilterSample>* samples;
  RadianceMap* level;
  uint32_t first, end;
};

}  // namespace

bool ReadRadianceMap(const std::string& path, RadianceMap* map, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ImageLib::DecodedImage image;
  std::string why;
  if (!ImageLib::DecodeRadiance(bytes.data(), bytes.size(), image, why)) {
    *error = path + " is no Radiance HDR picture we read: " + why;
    return false;
  }
  map->width = image.width;
  map->height = image.height;
  map->rgb.resize(image.SampleCount());
  std::memcpy(map->rgb.data(), image.samples.data(), map->rgb.size() * sizeof(float));
  return true;
}

PreparedEnvironment PrepareEnvironment(const RadianceMap& source, ThreadingLib::ThreadPool* pool) {
  PreparedEnvironment prepared;
  RadianceMap base = source;
  while (base.width > kMaxSpecularWidth) base = Halved(base);
  TakeOutMainLight(base, prepared);
  ProjectDiffuse(base, prepared);

  std::vector<RadianceMap> pyramid{base};
  while (pyramid.back().width > kSmallestSourceWidth) pyramid.push_back(Halved(pyramid.back()));

  prepared.specular.resize(kSpecularLevels);
  prepared.specular[0] = std::move(base);
  const float sourceTexelSolidAngle = 4.0f * kPi / (float(pyramid[0].width) * float(pyramid[0].height));
  std::vector<std::vector<FilterSample>> samples(kSpecularLevels);
  std::vector<std::unique_ptr<FilterRowsTask>> tasks;
  for (uint32_t i = 1; i < kSpecularLevels; ++i) {
    RadianceMap& level = prepared.specular[i];
    level.width = std::max(1u, pyramid[0].width >> i);
    level.height = std::max(1u, pyramid[0].height >> i);
    level.rgb.resize(size_t(level.width) * level.height * 3);
    samples[i] = GgxSamples(float(i) / float(kSpecularLevels - 1), sourceTexelSolidAngle);
    // Tasks of about 2048 texels keep both cores busy to the end without many hand-overs.
    const uint32_t rows = std::max(1u, 2048u / level.width);
    for (uint32_t y = 0; y < level.height; y += rows) {
      tasks.push_back(std::make_unique<FilterRowsTask>(pool, &pyramid, &samples[i], &level, y,
                                                       std::min(level.height, y + rows)));
    }
  }
  if (pool) {
    for (auto& task : tasks) pool->Add(task.get());
    pool->RunAndWait();
  } else {
    for (auto& task : tasks) task->Run(task->Prepare());
  }
  return prepared;
}

Float3 EvaluateDiffuse(const PreparedEnvironment& environment, Float3 n) {
  float basis[9];
  Harmonics(n, basis);
  float rgb[3] = {};
  for (int k = 0; k < 9; ++k) {
    for (int c = 0; c < 3; ++c) rgb[c] += environment.diffuse[k][c] * basis[k];
  }
  return {std::max(rgb[0], 0.0f), std::max(rgb[1], 0.0f), std::max(rgb[2], 0.0f)};
}

Float3 SampleRadiance(const RadianceMap& map, Float3 d) {
  float u, v;
  EquirectCoordinates(d, &u, &v);
  return Bilinear(map, u, v);
}

}  // namespace Viewer
