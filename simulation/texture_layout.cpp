#include "simulation/texture_layout.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Simulation {
namespace {

// Where a triangle's texture coordinates lie, with texel units of the raster.
struct UvTriangle {
  float x[3];
  float y[3];
};

UvTriangle CornersOf(const Soup& mesh, int32_t triangle, float uOffset, float vOffset, float scale) {
  const int32_t* indices = mesh.GetIndices();
  const RenderLib::VertexNormalUV* vertices = mesh.GetVertices();
  UvTriangle uv;
  for (int k = 0; k < 3; ++k) {
    const RenderLib::VertexNormalUV& vertex = vertices[indices[3 * triangle + k]];
    uv.x[k] = (vertex.u - uOffset) * scale;
    uv.y[k] = (vertex.v - vOffset) * scale;
  }
  return uv;
}

}  // namespace

AtlasCoverage RasteriseAtlas(const Soup& mesh, float uOffset, float vOffset, int32_t raster) {
  std::vector<uint8_t> count(size_t(raster) * raster, 0);
  const int32_t triangles = mesh.GetIndexCount() / 3;
  for (int32_t t = 0; t < triangles; ++t) {
    const UvTriangle uv = CornersOf(mesh, t, uOffset, vOffset, static_cast<float>(raster));
    const float top = std::max({uv.y[0], uv.y[1], uv.y[2]}), bottom = std::min({uv.y[0], uv.y[1], uv.y[2]});
    const int32_t y0 = std::max(0, static_cast<int32_t>(std::floor(bottom)));
    const int32_t y1 = std::min(raster - 1, static_cast<int32_t>(std::ceil(top)));
    // Row by row, the span of the triangle through the texel centres; centres on its border
    // are outside, so neighbours that share an edge do not both count a texel.
    for (int32_t py = y0; py <= y1; ++py) {
      const double cy = py + 0.5;
      double left = INFINITY, right = -INFINITY;
      for (int k = 0; k < 3; ++k) {
        const int n = (k + 1) % 3;
        const double ya = uv.y[k], yb = uv.y[n];
        if (ya == yb || cy < std::min(ya, yb) || cy > std::max(ya, yb)) continue;
        const double x = uv.x[k] + (cy - ya) * (double(uv.x[n]) - uv.x[k]) / (yb - ya);
        left = std::min(left, x);
        right = std::max(right, x);
      }
      if (!(left < right)) continue;
      // Centres px + 0.5 strictly between left and right.
      const int32_t first = std::max(0, static_cast<int32_t>(std::floor(left - 0.5)) + 1);
      const int32_t last = std::min(raster - 1, static_cast<int32_t>(std::ceil(right - 0.5)) - 1);
      uint8_t* row = count.data() + size_t(py) * raster;
      for (int32_t px = first; px <= last; ++px) row[px] += row[px] < 255;
    }
  }
  AtlasCoverage coverage;
  for (uint8_t c : count) {
    coverage.covered += c > 0;
    coverage.overlapped += c > 1;
  }
  return coverage;
}

TextureLayout AnalyseTextureLayout(const Soup& mesh) {
  TextureLayout layout;
  const int32_t triangles = mesh.GetIndexCount() / 3;
  float minU = INFINITY, maxU = -INFINITY, minV = INFINITY, maxV = -INFINITY;
  int32_t outside = 0;
  int32_t touching = 0;
  for (int32_t t = 0; t < triangles; ++t) {
    const UvTriangle uv = CornersOf(mesh, t, 0.0f, 0.0f, 1.0f);
    const float area = (uv.x[1] - uv.x[0]) * (uv.y[2] - uv.y[0]) - (uv.x[2] - uv.x[0]) * (uv.y[1] - uv.y[0]);
    if (area != 0.0f && std::isfinite(area)) layout.hasCoordinates = true;
    bool out = false;
    float lowU = INFINITY, highU = -INFINITY, lowV = INFINITY, highV = -INFINITY;
    for (int k = 0; k < 3; ++k) {
      lowU = std::min(lowU, uv.x[k]);
      highU = std::max(highU, uv.x[k]);
      lowV = std::min(lowV, uv.y[k]);
      highV = std::max(highV, uv.y[k]);
      minU = std::min(minU, uv.x[k]);
      maxU = std::max(maxU, uv.x[k]);
      minV = std::min(minV, uv.y[k]);
      maxV = std::max(maxV, uv.y[k]);
      out = out || !(uv.x[k] >= 0.0f && uv.x[k] <= 1.0f && uv.y[k] >= 0.0f && uv.y[k] <= 1.0f);
    }
    outside += out;
    touching += lowU < 1.0f && highU > 0.0f && lowV < 1.0f && highV > 0.0f;
  }
  if (triangles > 0 && minU <= maxU && minV <= maxV) {
    layout.minU = minU;
    layout.maxU = maxU;
    layout.minV = minV;
    layout.maxV = maxV;
  }
  if (!layout.hasCoordinates) return layout;

  const float tileU = std::floor(minU), tileV = std::floor(minV);
  layout.inOneTile = maxU <= tileU + 1.0f && maxV <= tileV + 1.0f && std::fabs(tileU) < 1e6f && std::fabs(tileV) < 1e6f;
  if (layout.inOneTile) {
    layout.tileU = static_cast<int32_t>(tileU);
    layout.tileV = static_cast<int32_t>(tileV);
  } else {
    layout.outsideShare = triangles > 0 ? double(outside) / triangles : 0.0;
    layout.touchingShare = triangles > 0 ? double(touching) / triangles : 0.0;
  }
  layout.coverage = RasteriseAtlas(mesh, static_cast<float>(layout.tileU), static_cast<float>(layout.tileV));
  return layout;
}

}  // namespace Simulation
