#pragma once

#include <cstdint>
#include <vector>

#include "renderlib/obj_model.h"

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
// space, at the ageing coordinates) do not overlap, or a new one.
MaskSpaces AssignMaskSpaces(const RenderLib::ObjModel& model);

}  // namespace Simulation
