#include "simulation/sample_splats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/random_unit.h"
#include "simulation/sample_map_builder.h"
#include "tests/support/shipped_splat.h"

namespace Simulation {
namespace {

constexpr uint32_t kSize = 1024;

// The bake as it was: every sample stamped in stored order with its own two jitter draws and
// no cap on its size.
void SplatInStoredOrder(const SampleMap& map, int32_t channel, float spacing, SplatRaster& raster) {
  for (uint32_t i = 0; i < map.Count(); ++i) {
    const float randomX = RandomUnit();
    const float randomY = RandomUnit();
    const SplatSquare square = SampleSplatSquare(map.Items()[i], kSize, kSize, spacing, randomX, randomY);
    raster.Draw(square, ChannelValue(map.Items()[i], channel), ShippedSplat());
  }
}

double MeanGreyDifference(const SplatRaster& a, const SplatRaster& b) {
  std::vector<uint8_t> greyA(3 * size_t(kSize) * kSize), greyB(greyA.size());
  a.ToRgb(greyA.data());
  b.ToRgb(greyB.data());
  double sum = 0;
  for (size_t i = 0; i < greyA.size(); i += 3) sum += std::abs(int(greyA[i]) - int(greyB[i]));
  return sum / double(kSize * kSize);
}

TEST(SampleSplats, TheBunnysMasksMatchStampingInStoredOrder) {
  auto model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/bunny.obj").c_str());
  ASSERT_NE(model, nullptr);
  RenderLib::TriangleSoup soup(*model);
  RenderLib::KdTree tree;
  tree.Build(soup, 24, 16);
  SampleMapBuild build = BuildSampleMap(tree, soup, 60);
  SampleMap& map = *build.map;
  for (uint32_t i = 0; i < map.Count(); ++i) {
    SurfaceSample& s = map.Items()[i];
    s.humidity = 0.5f + 0.5f * std::sin(40.0f * s.position.y);
    s.dirt = 0.5f + 0.5f * s.normal.y;
    s.rust = (i % 7) / 6.0f;  // texel to texel noise: the hardest case for the averaging
  }
  for (int32_t channel = 0; channel < 3; ++channel) {
    SplatRaster today(kSize, kSize), tiled(kSize, kSize);
    SeedRandomStreams(17);
    SplatInStoredOrder(map, channel, build.spacing, today);
    SeedRandomStreams(17);
    SplatSamples(map, channel, build.spacing, ShippedSplat(), tiled);
    for (SplatRaster* raster : {&today, &tiled}) {
      raster->Resolve();
      raster->Dilate(8);
    }
    // Same jitter, same squares: only the rounding of the sums may differ.
    EXPECT_LT(MeanGreyDifference(today, tiled), 0.01) << "channel " << channel;
  }
}

// Today's bake of the three masks: each channel stamped texel by texel from the splat image,
// channel after channel from one seed, then resolved and dilated.
void BakeToday(const SampleMap& map, float spacing, uint32_t seed, std::unique_ptr<SplatRaster> (&rasters)[3]) {
  SeedRandomStreams(seed);
  for (int32_t channel = 0; channel < 3; ++channel) {
    rasters[channel] = std::make_unique<SplatRaster>(kSize, kSize);
    SplatSamples(map, channel, spacing, ShippedSplat(), *rasters[channel]);
    rasters[channel]->Resolve();
    rasters[channel]->Dilate(8);
  }
}

TEST(SampleSplats, TheThreeMasksInOnePassDifferFromTodaysLessThanTheJitterMakesThemDiffer) {
  auto model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/beethoven.obj").c_str());
  ASSERT_NE(model, nullptr);
  RenderLib::TriangleSoup soup(*model);
  RenderLib::KdTree tree;
  tree.Build(soup, 24, 16);
  SampleMapBuild build = BuildSampleMap(tree, soup, 100);
  SampleMap& map = *build.map;
  // Two smooth fields and one that jumps from sample to sample, as a run can leave rust: there
  // the weights matter most.
  std::mt19937 random(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (uint32_t i = 0; i < map.Count(); ++i) {
    SurfaceSample& s = map.Items()[i];
    s.humidity = 0.5f - 0.5f * s.position.y;
    s.dirt = 0.5f + 0.5f * s.normal.y;
    s.rust = unit(random) * unit(random);
  }
  std::unique_ptr<SplatRaster> today[3], otherJitter[3];
  BakeToday(map, build.spacing, 29, today);
  const float nextToday = RandomUnit();
  BakeToday(map, build.spacing, 31, otherJitter);

  SeedRandomStreams(29);
  SplatProfile profile;
  ASSERT_TRUE(profile.Build(ShippedSplat()));
  std::unique_ptr<SplatRaster> together[3];
  SplatRaster* rasters[3];
  for (int32_t channel = 0; channel < 3; ++channel) {
    together[channel] = std::make_unique<SplatRaster>(kSize, kSize);
    rasters[channel] = together[channel].get();
  }
  const int32_t channels[3] = {0, 1, 2};
  SplatScratch scratch;
  SplatChannels(map, channels, rasters, 3, build.spacing, ShippedSplat(), profile, scratch);
  // The jitter was drawn as three bakes draw it: the stream ends in the same place.
  EXPECT_EQ(RandomUnit(), nextToday);

  for (int32_t channel = 0; channel < 3; ++channel) {
    together[channel]->Resolve();
    together[channel]->Dilate(8);
    const double difference = MeanGreyDifference(*today[channel], *together[channel]);
    const double jitter = MeanGreyDifference(*today[channel], *otherJitter[channel]);
    std::printf("channel %d: %.3f grey levels from today's, other jitter %.3f\n", channel, difference, jitter);
    EXPECT_LT(difference, jitter) << "channel " << channel;
    // Well under a grey level; the smooth fields far under.
    EXPECT_LT(difference, channel < 2 ? 0.25 : 0.75) << "channel " << channel;
  }
}

TEST(SampleSplats, ASliverTriangleIsCappedAtAMultipleOfTheTypicalSquare) {
  // Fifty ordinary samples (squares of 29 pixels) and one on a sliver: tiny area, wide in u.
  SampleArray array;
  array.Init(51);
  for (int i = 0; i < 50; ++i) {
    SurfaceSample s{};
    s.u = 0.1f + 0.015f * (i % 10);
    s.v = 0.1f + 0.015f * (i / 10);
    s.area = 0.5f;
    s.uExtent = s.vExtent = 0.01f;
    s.dirt = 0.2f;
    array.Push(s);
  }
  SurfaceSample sliver{};
  sliver.u = sliver.v = 0.7f;
  sliver.area = 1e-6f;
  sliver.uExtent = 0.5f;
  sliver.vExtent = 0.01f;
  sliver.dirt = 1.0f;
  array.Push(sliver);
  SampleMap map(array);

  std::vector<SplatSquare> squares;
  for (uint32_t i = 0; i < map.Count(); ++i) squares.push_back(SampleSplatSquare(map.Items()[i], kSize, kSize, 1.0f, 0.5f, 0.5f));
  const float cap = SplatHalfSizeCap(squares.data(), map.Count());
  // The median half size is 14.5 pixels; the cap rounds it up by at most a quarter octave.
  EXPECT_GE(cap, kSplatHalfSizeCapFactor * 14.48f);
  EXPECT_LE(cap, kSplatHalfSizeCapFactor * 14.49f * 1.19f);

  SplatRaster raster(kSize, kSize);
  SplatSamples(map, 1, 1.0f, ShippedSplat(), raster);
  // Uncapped the sliver's square would be about 350,000 pixels wide; capped it stays within
  // cap pixels of its centre (column 717, row 307).
  uint32_t first = kSize, last = 0;
  for (uint32_t x = 0; x < kSize; ++x) {
    if (raster.Weight(x, 307) > 0.0f) first = std::min(first, x), last = std::max(last, x);
  }
  EXPECT_GE(float(first) + 0.5f, 716.8f - cap - 1.0f);
  EXPECT_LE(float(last) + 0.5f, 716.8f + cap + 1.0f);
  EXPECT_GT(float(last - first), cap);  // still far wider than an ordinary square
}

}  // namespace
}  // namespace Simulation
