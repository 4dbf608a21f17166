#pragma once

#include <cstdint>
#include <memory>

#include "simulation/splat_image.h"
#include "simulation/splat_profile.h"

namespace Simulation {

class RingFill;

// One square stamped into a mask, in pixels: x counts columns from the left edge, y rows from
// the top edge; pixel (i, j) covers [i, i + 1) x [j, j + 1), its centre is (i + 0.5, j + 0.5).
struct SplatSquare {
  float centreX;
  float centreY;
  float halfWidth;
  float halfHeight;
};

// A float mask that splats are stamped into by normalised splatting: every texel sums
// value x weight and weight, where the weight is the splat's coverage there, so overlapping
// splats average instead of piling up or hiding each other. Resolve turns the sums into
// values; Dilate then pushes values a few texels into the empty texels around what was
// covered, so that filtering at the edge of a texture chart does not pull in black.
// Squares and their values as DrawRounds reads them: square i from centreX[i x squareStride]
// and so on, its value from values[i x valueStride]. Arrays of SplatSquare and float, or
// records that hold a square and values side by side, are read in place.
struct StampList {
  const float* centreX;
  const float* centreY;
  const float* halfWidth;
  const float* halfHeight;
  const float* values;
  size_t squareStride;  // in floats
  size_t valueStride;   // in floats
  size_t count;

  SplatSquare Square(size_t i) const {
    const size_t at = i * squareStride;
    return {centreX[at], centreY[at], halfWidth[at], halfHeight[at]};
  }
  float Value(size_t i) const { return values[i * valueStride]; }
};

class SplatRaster {
public:
  // Allocates the whole mask at once (throws std::bad_alloc if it cannot) and clears it.
  SplatRaster(uint32_t width, uint32_t height);
  ~SplatRaster();

  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }

  // Sets every sum to 0; nothing to do after ResolveClearing and ToGreyClearing, which clear
  // the sums as they read them instead of in a pass of their own.
  void Clear();

  // Stamps the splat over the pixels whose centres lie inside the square (left and top edges
  // inclusive, right and bottom exclusive), clipped to the mask. The splat's coverage is
  // sampled bilinearly (clamped at its edges) with splat coordinates running from 0 at the
  // square's left edge to 1 at its right edge, and from 0 at its bottom edge to 1 at its top
  // edge. A square whose size or centre is not finite, or that has no area, stamps nothing,
  // and so does a value that is not finite (it would spoil every texel it touched).
  void Draw(const SplatSquare& square, float value, const SplatImage& splat);

  // The same for a round splat, looked up by squared distance from the square's centre: the
  // same texels, with weights within kSplatProfileTolerance of Draw's. A profile that is not
  // usable stamps nothing.
  void DrawRound(const SplatSquare& square, float value, const SplatProfile& profile);
  // DrawRound for squares[i] with values[i], i < count, in that order.
  void DrawRounds(const SplatSquare* squares, const float* values, size_t count, const SplatProfile& profile);
  void DrawRounds(const StampList& stamps, const SplatProfile& profile);

  // Turns the sums into values: sum / weight where some weight arrived, 0 elsewhere.
  void Resolve();
  // Resolve, setting each weight to 0 once read (Weight reads 0 afterwards).
  void ResolveClearing();

  // After Resolve (a RingFill of `passes` rings): each pass gives every empty texel that touches (across an edge or a
  // corner) a texel filled before this pass the mean value of those neighbours. After n passes
  // the texels within n steps of a covered texel are filled and nothing farther.
  void Dilate(int passes);

  // After Resolve: the grey value of every texel, clamped to [0, 1] and rounded to 8 bits,
  // written three times (R = G = B), rows from the top.
  void ToRgb(uint8_t* rgb) const;
  // The grey of ToRgb written once a texel, setting each value to 0 once read: after
  // ResolveClearing, Dilate and this the raster is as Clear leaves it.
  void ToGreyClearing(uint8_t* grey);
  // After Resolve: the same clamped values rounded to 16 bits, one per texel, rows from the top.
  void ToGrey16(uint16_t* grey) const;

  // Before Resolve Value reads the sum of value x weight; after it the value. Weight is the
  // summed coverage.
  float Value(uint32_t x, uint32_t y) const { return ValuePlane()[size_t(y) * pitch + x]; }
  float Weight(uint32_t x, uint32_t y) const { return WeightPlane()[size_t(y) * pitch + x]; }
  // After Resolve: 0 for an empty texel, 1 for one a splat covered, 1 + n for one filled by
  // dilation pass n.
  uint8_t Generation(uint32_t x, uint32_t y) const { return generation[(size_t(y) + 1) * (width + 2) + x + 1]; }

private:
  uint32_t width;
  uint32_t height;
  // Whether each plane's sums are known to be all 0, so that Clear can leave it alone.
  bool valuesClear = false;
  bool weightsClear = false;
  void ResolveRows(bool clearWeights);
  // The grey values written `copies` (1 or 3) times a texel; each row cleared once read if asked.
  void ToBytes(uint8_t* out, int copies, bool clearValues) const;
  // Floats from a row of a plane to the next: a cache line more than the row needs, so that
  // the rows of a square fall in different sets of the cache rather than all in one (a
  // power-of-two row would), where they would evict each other.
  uint32_t pitch;
  static uint32_t PitchOf(uint32_t width) { return (width + 15) / 16 * 16 + 16; }
  // Two planes of pitch x height floats: the sums of value x weight (which Resolve turns into
  // the values in place) and the sums of weights. Planes rather than pairs, so that a stamp
  // adds its tinted weights with one multiply-add and no shuffling. Each plane is preceded by
  // a pad of PlanePad() floats: the dilation may read a row and a little more beyond a plane's
  // ends (but never uses what it reads there), and a stamp may run a group of eight past the
  // last texel, adding nothing.
  struct FreeMemory {
    void operator()(float* memory) const;
  };
  std::unique_ptr<float[], FreeMemory> sums;
  size_t PlanePad() const { return size_t(pitch) + 16; }
  size_t PlaneSize() const { return size_t(pitch) * height; }
  float* ValuePlane() const { return sums.get() + PlanePad(); }
  float* WeightPlane() const { return ValuePlane() + PlaneSize() + PlanePad(); }
  size_t TotalFloats() const { return 2 * PlaneSize() + 3 * PlanePad(); }
  // Per texel as Generation() describes, with a border all round (marked as never to be
  // filled) so that the dilation reads neighbours without bounds checks.
  std::unique_ptr<uint8_t[]> generation;
  // Per column of the square being drawn (padded to whole groups of four): where its splat
  // taps start in a row of SplatImage::Taps(), and the weights of the left and right taps.
  std::unique_ptr<int32_t[]> columnTaps;
  std::unique_ptr<float[]> columnLeft;
  std::unique_ptr<float[]> columnRight;
  // Per column of the round square being drawn (padded to whole groups of eight): its squared
  // distance term.
  std::unique_ptr<float[]> columnDistance;
  // The dilation, kept so that later masks of the same size reuse its memory.
  std::unique_ptr<RingFill> ringFill;
};

}  // namespace Simulation
