#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/obj_model.h"
#include "renderlib/triangle_soup.h"

namespace Simulation {

// Which set of mask files each material's texels live in. The masks are baked in texture space,
// and the materials of most assets each span the whole unit square: materials whose charts
// overlap get mask spaces of their own, so that what happens on one never shows on another;
// materials whose charts lie apart share one. Worked out from the model alone, so that the run,
// the window and the export agree without asking each other. A model of one material has one
// space, whose files are named as they always were.
struct MaskSpaces {
  std::vector<int32_t> spaceOfMaterial;  // by material index
  int32_t count = 1;

  // The space of a group's material; "no material" (-1) and materials past the list are space 0.
  int32_t SpaceOf(int32_t materialIndex) const {
    return materialIndex >= 0 && size_t(materialIndex) < spaceOfMaterial.size() ? spaceOfMaterial[size_t(materialIndex)]
                                                                                : 0;
  }
};

// Gives each material, in order, the first space its charts (its groups' triangles in texture
// space, at the ageing coordinates) do not overlap, or a new one. The charts are laid on a
// kMaskSpaceRaster-square grid over a tile, each triangle wrapped onto it as a repeating mask
// is read, covering the texels whose centres it holds (a material too small to hold any covers
// the texels its triangles' centres lie in); a material "does not overlap" a space when no more
// than kOverlapWarningShare of its covered texels are already the space's. A material with no
// area in texture space is space 0.
MaskSpaces AssignMaskSpaces(const RenderLib::ObjModel& model);
// The same answer from the model made into a soup (the soup keeps the model's materials and
// each triangle's), for those that hold only the soup.
MaskSpaces AssignMaskSpaces(const RenderLib::TriangleSoup& soup);

// Coarse on purpose: charts of different materials that overlap do so over large areas.
inline constexpr int32_t kMaskSpaceRaster = 256;

}  // namespace Simulation
