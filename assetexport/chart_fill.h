#pragma once

#include <cstdint>
#include <vector>

namespace AssetExport {

// The rings around the charts that FillOutsideCharts fills exactly as the masks' ring fill does:
// what bilinear filtering and the first mip levels read next to a chart.
inline constexpr int kExactRings = 8;

// Fills every texel of a size x size texture that is not covered (covered[i] == 0), so that no
// texel is left empty and no background shows at any mip level. The texels at most kExactRings
// from a covered one (chessboard distance) take the mean of their neighbours (across an edge or
// a corner) covered or filled before, in rings outwards: the masks' ring fill, each channel in
// floats and rounded to a byte once filled. Every texel further out takes the mean of the
// ring-filled texels in the smallest aligned block of a power-of-two side around it that holds
// any (a pull-push pyramid), which lies between the charts' values.
// planes[k] holds channels[k] bytes a texel, rows packed; covered texels keep their bytes.
// Nothing changes when no texel is covered.
void FillOutsideCharts(const std::vector<uint8_t>& covered, uint32_t size, uint8_t* const* planes,
                       const uint32_t* channels, int planeCount);

}  // namespace AssetExport
