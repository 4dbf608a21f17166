#include "simulation/mask_spaces.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "renderlib/texel_triangle.h"
#include "renderlib/triangle_soup.h"
#include "simulation/texture_layout.h"

namespace Simulation {
namespace {

// Consecutive triangles of one material, three indices each into vertices.
struct TriangleRun {
  int32_t material = -1;
  const int32_t* indices = nullptr;
  size_t triangles = 0;
  const RenderLib::VertexNormalUV* vertices = nullptr;
  size_t vertexCount = 0;
};

// One material's texels on the coarse raster: each texel is marked with the material's number,
// so the raster never needs clearing, and the texels are listed as they are first marked.
class MaterialCover {
public:
  MaterialCover() : marks(size_t(kMaskSpaceRaster) * kMaskSpaceRaster, -1) {}

  void Start(int32_t material) {
    current = material;
    texels.clear();
  }

  void Mark(size_t texel) {
    if (marks[texel] == current) return;
    marks[texel] = current;
    texels.push_back(uint32_t(texel));
  }

  // The texels whose centres a triangle covers. Each triangle is moved by whole tiles next to the
  // unit square and wrapped onto it, as a repeating mask is read. With `centreOnly`, only the
  // texel its texture-space centre lies in: for a material too small to cover any texel centre,
  // which would otherwise claim nothing. (Whole texels touched would make charts that merely
  // border each other overlap.)
  void AddTriangle(const RenderLib::VertexNormalUV& a, const RenderLib::VertexNormalUV& b,
                   const RenderLib::VertexNormalUV& c, bool centreOnly) {
    if (!SpansTextureArea(a, b, c)) return;
    const float lowU = std::min({a.u, b.u, c.u}), lowV = std::min({a.v, b.v, c.v});
    // Corners far from the origin have no texel-sized precision left; such a triangle is noise.
    if (!(std::fabs(lowU) < 1e6f && std::fabs(lowV) < 1e6f)) return;
    const float tileU = std::floor(lowU), tileV = std::floor(lowV);
    const float scale = float(kMaskSpaceRaster);
    RenderLib::TexelTriangle uv;
    const RenderLib::VertexNormalUV* corners[3] = {&a, &b, &c};
    for (int k = 0; k < 3; ++k) {
      uv.x[k] = (corners[k]->u - tileU) * scale;
      uv.y[k] = (corners[k]->v - tileV) * scale;
    }
    if (centreOnly) {
      const float centreX = (uv.x[0] + uv.x[1] + uv.x[2]) / 3.0f, centreY = (uv.y[0] + uv.y[1] + uv.y[2]) / 3.0f;
      if (centreX < 1e9f && centreY < 1e9f) Mark(Wrapped(int64_t(centreX), int64_t(centreY)));
      return;
    }
    // A triangle wider than a tile is only followed into the next one.
    const RenderLib::TexelWindow window{0, 0, 2 * kMaskSpaceRaster - 1, 2 * kMaskSpaceRaster - 1};
    RenderLib::ForEachTexelIn(uv, RenderLib::TriangleEdges::kExcluded, window,
                              [&](int64_t px, int64_t py, float, float, float) { Mark(Wrapped(px, py)); });
  }

  const std::vector<uint32_t>& Texels() const { return texels; }

private:
  static size_t Wrapped(int64_t px, int64_t py) {
    return size_t(py % kMaskSpaceRaster) * kMaskSpaceRaster + size_t(px % kMaskSpaceRaster);
  }

  std::vector<int32_t> marks;
  std::vector<uint32_t> texels;
  int32_t current = -1;
};

MaskSpaces Assign(int32_t materialCount, const std::vector<TriangleRun>& runs) {
  MaskSpaces spaces;
  spaces.spaceOfMaterial.assign(size_t(std::max(materialCount, 0)), 0);
  // One material has nothing to share texels with.
  if (materialCount <= 1) return spaces;

  std::vector<std::vector<const TriangleRun*>> runsOf(static_cast<size_t>(materialCount));
  for (const TriangleRun& run : runs) {
    if (run.material >= 0 && run.material < materialCount) runsOf[size_t(run.material)].push_back(&run);
  }
  MaterialCover cover;
  std::vector<std::vector<uint8_t>> spaceTexels;  // which texels each space's materials cover
  for (int32_t material = 0; material < materialCount; ++material) {
    cover.Start(material);
    for (const bool centreOnly : {false, true}) {
      if (centreOnly && !cover.Texels().empty()) break;
      for (const TriangleRun* run : runsOf[size_t(material)]) {
        for (size_t t = 0; t < run->triangles; ++t) {
          const int32_t* corner = run->indices + 3 * t;
          bool valid = true;
          for (int k = 0; k < 3; ++k) valid = valid && corner[k] >= 0 && size_t(corner[k]) < run->vertexCount;
          if (!valid) continue;
          cover.AddTriangle(run->vertices[corner[0]], run->vertices[corner[1]], run->vertices[corner[2]], centreOnly);
        }
      }
    }
    const std::vector<uint32_t>& texels = cover.Texels();
    if (texels.empty()) continue;  // no area in texture space: space 0, claiming nothing
    const size_t allowed = size_t(kOverlapWarningShare * double(texels.size()));
    size_t space = 0;
    for (; space < spaceTexels.size(); ++space) {
      const std::vector<uint8_t>& taken = spaceTexels[space];
      size_t shared = 0;
      for (size_t i = 0; i < texels.size() && shared <= allowed; ++i) shared += taken[texels[i]];
      if (shared <= allowed) break;
    }
    if (space == spaceTexels.size()) spaceTexels.emplace_back(size_t(kMaskSpaceRaster) * kMaskSpaceRaster, 0);
    for (const uint32_t texel : texels) spaceTexels[space][texel] = 1;
    spaces.spaceOfMaterial[size_t(material)] = int32_t(space);
  }
  spaces.count = std::max<int32_t>(1, int32_t(spaceTexels.size()));
  return spaces;
}

}  // namespace

MaskSpaces AssignMaskSpaces(const RenderLib::ObjModel& model) {
  std::vector<TriangleRun> runs;
  runs.reserve(model.groups.size());
  for (const RenderLib::MeshGroup& group : model.groups) {
    runs.push_back({group.materialIndex, group.indices.data(), group.indices.size() / 3, group.vertices.data(),
                    group.vertices.size()});
  }
  return Assign(int32_t(model.materials.size()), runs);
}

MaskSpaces AssignMaskSpaces(const RenderLib::TriangleSoup& soup) {
  const std::vector<int32_t>& materials = soup.TriangleMaterials();
  std::vector<TriangleRun> runs;
  for (size_t first = 0; first < materials.size();) {
    size_t end = first + 1;
    while (end < materials.size() && materials[end] == materials[first]) ++end;
    runs.push_back({materials[first], soup.GetIndices() + 3 * first, end - first, soup.GetVertices(),
                    size_t(soup.GetVertexCount())});
    first = end;
  }
  return Assign(int32_t(soup.Materials().size()), runs);
}

}  // namespace Simulation
