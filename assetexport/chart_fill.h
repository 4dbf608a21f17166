#pragma once

#include <cstdint>
#include <vector>

namespace AssetExport {

// Fills every texel of a size x size texture that is not covered (covered[i] == 0) with the mean
// of its neighbours (across an edge or a corner) that were covered or filled before, in rings
// outwards from what is covered, until nothing is left empty: the masks' ring fill run to the
// end, each channel in floats and rounded to a byte once filled. planes[k] holds channels[k]
// bytes a texel, rows packed; covered texels keep their bytes.
// Nothing changes when no texel is covered.
void FillOutsideCharts(const std::vector<uint8_t>& covered, uint32_t size, uint8_t* const* planes,
                       const uint32_t* channels, int planeCount);

}  // namespace AssetExport
