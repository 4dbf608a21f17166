#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "renderlib/obj_model.h"
#include "renderlib/vertex_normal_uv.h"
#include "simulation/sampling_task.h"

namespace Simulation {

// How much of a raster x raster grid over one texture tile the model's triangles cover: texels
// whose centre lies strictly inside at least one triangle, and inside more than one.
struct AtlasCoverage {
  int64_t covered = 0;
  int64_t overlapped = 0;
  // overlapped / covered, 0 when nothing is covered.
  double OverlapShare() const { return covered > 0 ? double(overlapped) / double(covered) : 0.0; }
};

// Rasterises the triangles' texture coordinates, less (uOffset, vOffset), onto the grid over
// [0, 1] x [0, 1]; what lies outside is not counted.
AtlasCoverage RasteriseAtlas(const Soup& mesh, float uOffset, float vOffset, int32_t raster = 1024);

// The same for each material's triangles on their own, by material index, with one more entry
// last for triangles of no material (or one past the list). A texel counts as overlapped only
// where charts of one material overlap: materials whose charts overlap each other's get mask
// spaces of their own (MaskSpaces), but a material's own overlapping charts share texels.
// Triangles flagged in `skipped` (by triangle; empty for none) are left out: the second and later
// placements of a mesh, which share their texels with the first by design.
std::vector<AtlasCoverage> RasteriseMaterialAtlases(const Soup& mesh, float uOffset, float vOffset,
                                                    int32_t raster = 1024, const std::vector<bool>& skipped = {});

// What the masks can make of a model's texture coordinates (they are baked in texture space).
struct TextureLayout {
  // False when no triangle spans any area in texture space (no coordinates, or all alike).
  bool hasCoordinates = false;
  // True when every coordinate lies in one tile [tileU, tileU + 1] x [tileV, tileV + 1]; the
  // masks then cover that tile. Tile (0, 0) is the ordinary unit square.
  bool inOneTile = false;
  int32_t tileU = 0;
  int32_t tileV = 0;
  // Triangles with a corner outside the unit square, as a share of all (when not in one tile).
  double outsideShare = 0.0;
  // Triangles that reach into the unit square at all, as a share of all (when not in one tile);
  // 0 means nothing of the model can be baked into the masks.
  double touchingShare = 0.0;
  // The range the coordinates span (all equal when the model has a single one).
  float minU = 0.0f, maxU = 0.0f, minV = 0.0f, maxV = 0.0f;
  // Over the tile the masks cover, on a 1024 x 1024 grid, each material's charts measured on
  // their own (RasteriseMaterialAtlases): the whole, and by material (the last entry for
  // triangles of no material).
  AtlasCoverage coverage;
  std::vector<AtlasCoverage> materialCoverage;
};

// `repeats` flags the triangles of second and later placements of a mesh (see
// RenderLib::RepeatedPlacementTriangles), whose charts are not counted as overlapping.
TextureLayout AnalyseTextureLayout(const Soup& mesh, const std::vector<bool>& repeats = {});

// Whether a triangle spans an area (finite, not zero) in texture space. The masks and the
// exported textures are baked in texture space, so a model needs one such triangle at least.
bool SpansTextureArea(const RenderLib::VertexNormalUV& a, const RenderLib::VertexNormalUV& b,
                      const RenderLib::VertexNormalUV& c);

// Whether some triangle of the model spans an area in texture space (indices out of range are
// passed over): TextureLayout::hasCoordinates for a model not yet made into a soup.
bool HasTextureCoordinates(const RenderLib::ObjModel& model);

// Why a model with this layout cannot be weathered, naming the model as `model`, in the words
// every program uses: its masks are baked in texture space and the coordinates give them no area
// to cover. Empty when the layout is usable.
std::string TextureLayoutRefusal(const TextureLayout& layout, const std::string& model);

// The warning for coordinates that reach outside [0, 1] x [0, 1] (tiled, or straying): those
// triangles fall (partly) outside the masks and age only where they overlap the unit square.
// Empty when every coordinate lies in one tile or the layout is refused.
std::string TextureLayoutTilingWarning(const TextureLayout& layout, const std::string& model);

// Chart overlap above this share of the covered texels earns a warning: overlapping charts
// share mask texels, so what happens on one part shows on the other.
inline constexpr double kOverlapWarningShare = 0.005;

}  // namespace Simulation
