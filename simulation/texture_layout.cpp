#include "simulation/texture_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "renderlib/texel_triangle.h"

namespace Simulation {
namespace {

// Where a triangle's texture coordinates lie, with texel units of the raster.
using UvTriangle = RenderLib::TexelTriangle;

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
  const RenderLib::TexelWindow window{0, 0, raster - 1, raster - 1};
  const int32_t triangles = mesh.GetIndexCount() / 3;
  for (int32_t t = 0; t < triangles; ++t) {
    const UvTriangle uv = CornersOf(mesh, t, uOffset, vOffset, static_cast<float>(raster));
    // Centres on a triangle's border are outside, so neighbours that share an edge do not both
    // count a texel.
    RenderLib::ForEachTexelIn(uv, RenderLib::TriangleEdges::kExcluded, window,
                              [&](int64_t px, int64_t py, float, float, float) {
                                uint8_t& texel = count[size_t(py) * size_t(raster) + size_t(px)];
                                texel += texel < 255;
                              });
  }
  AtlasCoverage coverage;
  for (uint8_t c : count) {
    coverage.covered += c > 0;
    coverage.overlapped += c > 1;
  }
  return coverage;
}

std::vector<AtlasCoverage> RasteriseMaterialAtlases(const Soup& mesh, float uOffset, float vOffset, int32_t raster,
                                                    const std::vector<bool>& skipped) {
  const std::vector<int32_t>& materials = mesh.TriangleMaterials();
  const size_t materialCount = mesh.Materials().size();
  std::vector<AtlasCoverage> coverage(materialCount + 1);
  // Each material's triangles, gathered first: a material's groups need not lie together.
  std::vector<std::vector<int32_t>> trianglesOf(materialCount + 1);
  for (size_t t = 0; t < materials.size(); ++t) {
    if (t < skipped.size() && skipped[t]) continue;
    const int32_t material = materials[t];
    trianglesOf[material >= 0 && size_t(material) < materialCount ? size_t(material) : materialCount].push_back(
        int32_t(t));
  }
  // One count raster for all; after each material only the texels it reached are cleared.
  std::vector<uint8_t> count(size_t(raster) * raster, 0);
  std::vector<uint32_t> reached;
  const RenderLib::TexelWindow window{0, 0, raster - 1, raster - 1};
  for (size_t material = 0; material <= materialCount; ++material) {
    reached.clear();
    for (const int32_t t : trianglesOf[material]) {
      const UvTriangle uv = CornersOf(mesh, t, uOffset, vOffset, static_cast<float>(raster));
      RenderLib::ForEachTexelIn(uv, RenderLib::TriangleEdges::kExcluded, window,
                                [&](int64_t px, int64_t py, float, float, float) {
                                  const size_t index = size_t(py) * size_t(raster) + size_t(px);
                                  uint8_t& texel = count[index];
                                  if (texel == 0) reached.push_back(uint32_t(index));
                                  texel += texel < 255;
                                });
    }
    AtlasCoverage& mine = coverage[material];
    for (const uint32_t index : reached) {
      mine.covered += 1;
      mine.overlapped += count[index] > 1;
      count[index] = 0;
    }
  }
  return coverage;
}

TextureLayout AnalyseTextureLayout(const Soup& mesh, const std::vector<bool>& repeats) {
  TextureLayout layout;
  const int32_t triangles = mesh.GetIndexCount() / 3;
  float minU = INFINITY, maxU = -INFINITY, minV = INFINITY, maxV = -INFINITY;
  int32_t outside = 0;
  int32_t touching = 0;
  for (int32_t t = 0; t < triangles; ++t) {
    const UvTriangle uv = CornersOf(mesh, t, 0.0f, 0.0f, 1.0f);
    const int32_t* corners = mesh.GetIndices() + 3 * t;
    const RenderLib::VertexNormalUV* vertices = mesh.GetVertices();
    if (SpansTextureArea(vertices[corners[0]], vertices[corners[1]], vertices[corners[2]])) layout.hasCoordinates = true;
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
  layout.materialCoverage =
      RasteriseMaterialAtlases(mesh, static_cast<float>(layout.tileU), static_cast<float>(layout.tileV), 1024, repeats);
  for (const AtlasCoverage& material : layout.materialCoverage) {
    layout.coverage.covered += material.covered;
    layout.coverage.overlapped += material.overlapped;
  }
  return layout;
}

bool SpansTextureArea(const RenderLib::VertexNormalUV& a, const RenderLib::VertexNormalUV& b,
                      const RenderLib::VertexNormalUV& c) {
  const float area = (b.u - a.u) * (c.v - a.v) - (c.u - a.u) * (b.v - a.v);
  return area != 0.0f && std::isfinite(area);
}

bool HasTextureCoordinates(const RenderLib::ObjModel& model) {
  for (const RenderLib::MeshGroup& group : model.groups) {
    const size_t vertexCount = group.vertices.size();
    for (size_t i = 0; i + 2 < group.indices.size(); i += 3) {
      const int32_t a = group.indices[i], b = group.indices[i + 1], c = group.indices[i + 2];
      if (a < 0 || b < 0 || c < 0 || size_t(a) >= vertexCount || size_t(b) >= vertexCount || size_t(c) >= vertexCount) {
        continue;
      }
      if (SpansTextureArea(group.vertices[size_t(a)], group.vertices[size_t(b)], group.vertices[size_t(c)])) return true;
    }
  }
  return false;
}

std::string TextureLayoutRefusal(const TextureLayout& layout, const std::string& model) {
  const std::string why = "masks are baked in texture space, so the model needs texture coordinates (a UV layout) "
                          "that span some area of [0, 1] x [0, 1] to be weathered";
  char text[512];
  if (!layout.hasCoordinates) {
    if (layout.minU == layout.maxU && layout.minV == layout.maxV && layout.minU == 0.0f && layout.minV == 0.0f) {
      return model + " has no texture coordinates; " + why;
    }
    if (layout.minU == layout.maxU && layout.minV == layout.maxV) {
      std::snprintf(text, sizeof text, "all the texture coordinates of %s are the same point (%g, %g); ", model.c_str(),
                    double(layout.minU), double(layout.minV));
      return text + why;
    }
    return "the texture coordinates of " + model +
           " give every triangle no area (they lie on a line, or are not finite); " + why;
  }
  if (!layout.inOneTile && layout.touchingShare == 0.0) {
    std::snprintf(text, sizeof text,
                  "no triangle of %s has texture coordinates inside [0, 1] x [0, 1] (they span u %g..%g, v %g..%g), "
                  "and nothing outside it can be baked; ",
                  model.c_str(), double(layout.minU), double(layout.maxU), double(layout.minV), double(layout.maxV));
    return text + why;
  }
  return "";
}

std::string TextureLayoutTilingWarning(const TextureLayout& layout, const std::string& model) {
  if (!layout.hasCoordinates || layout.inOneTile || layout.touchingShare == 0.0) return "";
  char text[512];
  std::snprintf(text, sizeof text,
                "%.1f %% of the triangles of %s have texture coordinates outside [0, 1] x [0, 1] and fall (partly) "
                "outside the masks",
                100.0 * layout.outsideShare, model.c_str());
  return text;
}

}  // namespace Simulation
