#include "simulation/mask_baking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imagelib/image.h"
#include "renderlib/kd_tree.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/sample_map_builder.h"
#include "simulation/sample_splats.h"
#include "simulation/splat_image.h"
#include "simulation/splat_raster.h"
#include "tests/support/shipped_splat.h"

namespace Simulation {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSize = 1024;

// A sample whose square, with spacing 1, is about 29 pixels wide and gets the full jitter.
SurfaceSample SampleAt(float u, float v, float value) {
  SurfaceSample sample{};
  sample.u = u;
  sample.v = v;
  sample.area = 0.5f;
  sample.uExtent = sample.vExtent = 0.01f;
  sample.humidity = sample.dirt = sample.rust = value;
  return sample;
}

std::unique_ptr<SampleMap> MapOf(const std::vector<SurfaceSample>& samples) {
  SampleArray array;
  array.Init(static_cast<uint32_t>(samples.size()));
  for (const SurfaceSample& sample : samples) array.Push(sample);
  return std::make_unique<SampleMap>(array);
}

double TotalWeight(const SplatRaster& raster) {
  double sum = 0;
  for (uint32_t j = 0; j < raster.Height(); ++j) {
    for (uint32_t i = 0; i < raster.Width(); ++i) sum += raster.Weight(i, j);
  }
  return sum;
}

// Where a raster's weight lies on average, in pixel coordinates.
std::pair<double, double> WeightCentroid(const SplatRaster& raster) {
  double sum = 0, x = 0, y = 0;
  for (uint32_t j = 0; j < raster.Height(); ++j) {
    for (uint32_t i = 0; i < raster.Width(); ++i) {
      const double w = raster.Weight(i, j);
      sum += w;
      x += w * (i + 0.5);
      y += w * (j + 0.5);
    }
  }
  return {x / sum, y / sum};
}

class TemporaryFolder {
public:
  TemporaryFolder() : path(fs::temp_directory_path() / ("mask_baking_test." + std::to_string(std::random_device{}()))) {
    fs::create_directories(path);
  }
  ~TemporaryFolder() { fs::remove_all(path); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename().string());
    return names;
  }
  fs::path path;
};

TEST(SplatRaster, StampsTheSplatCentredOnTheSquareWithItsFirstRowAtTheBottom) {
  SplatRaster raster(kSize, kSize);
  raster.Draw({512.0f, 512.0f, 6.0f, 6.0f}, 0.25f, ShippedSplat());
  // Pixels 506..517 have their centres inside [506, 518); the weight is mirror-symmetric
  // about the middle of the mask, between pixels 511 and 512.
  for (uint32_t j = 500; j < 524; ++j) {
    for (uint32_t i = 500; i < 524; ++i) {
      const bool inside = i >= 506 && i <= 517 && j >= 506 && j <= 517;
      // The round splat leaves the square's corners empty, but not the middle of its sides.
      if (!inside || ((i == 506 || i == 517) && (j == 511 || j == 512))) {
        ASSERT_EQ(raster.Weight(i, j) > 0.0f, inside) << i << "," << j;
      }
      EXPECT_NEAR(raster.Weight(i, j), raster.Weight(1023 - i, j), 1e-6f);
      EXPECT_NEAR(raster.Weight(i, j), raster.Weight(i, 1023 - j), 1e-6f);
      EXPECT_NEAR(raster.Value(i, j), 0.25f * raster.Weight(i, j), 1e-6f);
    }
  }
  EXPECT_GT(raster.Weight(511, 512), 0.9f);
  const auto [cx, cy] = WeightCentroid(raster);
  EXPECT_NEAR(cx, 512.0, 1e-4);
  EXPECT_NEAR(cy, 512.0, 1e-4);

  // A splat that is opaque only in its first row and first column lands bottom left.
  SplatImage corner;
  corner.Assign(2, 2, {1.0f, 1.0f, 1.0f, 0.0f});
  SplatRaster small(8, 8);
  small.Draw({4.0f, 4.0f, 4.0f, 4.0f}, 1.0f, corner);
  EXPECT_FLOAT_EQ(small.Weight(0, 7), 1.0f);
  EXPECT_FLOAT_EQ(small.Weight(7, 0), 0.0f);
  EXPECT_GT(small.Weight(7, 7), 0.9f);
  EXPECT_GT(small.Weight(0, 0), 0.9f);
}

TEST(SampleSplats, SamplesLandAtTheirTextureCoordinatesWithVUpward) {
  const SplatSquare middle = SampleSplatSquare(SampleAt(0.5f, 0.5f, 0), kSize, kSize, 1.0f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(middle.centreX, 512.0f);
  EXPECT_FLOAT_EQ(middle.centreY, 512.0f);
  EXPECT_NEAR(middle.halfWidth, 14.48f, 0.01f);
  const SplatSquare top = SampleSplatSquare(SampleAt(0.0f, 1.0f, 0), kSize, kSize, 1.0f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(top.centreX, 0.0f);
  EXPECT_FLOAT_EQ(top.centreY, 0.0f);
  const SplatSquare bottom = SampleSplatSquare(SampleAt(1.0f, 0.0f, 0), kSize, kSize, 1.0f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(bottom.centreX, 1024.0f);
  EXPECT_FLOAT_EQ(bottom.centreY, 1024.0f);

  // The jitter reaches an eighth of a pixel at most, and less for a sample whose share of the
  // surface spans under five pixels. A larger draw moves the square right and up.
  const SplatSquare low = SampleSplatSquare(SampleAt(0.5f, 0.5f, 0), kSize, kSize, 1.0f, 0.0f, 0.0f);
  const SplatSquare high = SampleSplatSquare(SampleAt(0.5f, 0.5f, 0), kSize, kSize, 1.0f, 1.0f, 1.0f);
  EXPECT_FLOAT_EQ(low.centreX, 512.0f - 0.125f);
  EXPECT_FLOAT_EQ(low.centreY, 512.0f + 0.125f);
  EXPECT_FLOAT_EQ(high.centreX, 512.0f + 0.125f);
  EXPECT_FLOAT_EQ(high.centreY, 512.0f - 0.125f);
  const SplatSquare fine = SampleSplatSquare(SampleAt(0.5f, 0.5f, 0), kSize, kSize, 0.001f, 1.0f, 1.0f);
  EXPECT_NEAR(fine.centreX - 512.0f, 0.5f * 1.024f * 0.05f, 1e-4f);

  // Triangles without area or texture extent stamp nothing.
  SplatRaster raster(kSize, kSize);
  SurfaceSample flat = SampleAt(0.5f, 0.5f, 1.0f);
  flat.area = 0.0f;
  raster.Draw(SampleSplatSquare(flat, kSize, kSize, 1.0f, 0.5f, 0.5f), 1.0f, ShippedSplat());
  flat = SampleAt(0.5f, 0.5f, 1.0f);
  flat.uExtent = 0.0f;
  raster.Draw(SampleSplatSquare(flat, kSize, kSize, 1.0f, 0.5f, 0.5f), 1.0f, ShippedSplat());
  EXPECT_EQ(TotalWeight(raster), 0.0);
}

TEST(SplatRaster, SquaresReachingPastTheEdgeAreClipped) {
  SplatRaster middle(kSize, kSize);
  middle.Draw({512.25f, 512.25f, 10.0f, 10.0f}, 1.0f, ShippedSplat());
  // The same square against each edge and corner keeps exactly the texels that lie inside.
  const float centres[][2] = {{0.25f, 512.25f}, {1024.25f, 512.25f}, {512.25f, 0.25f}, {0.25f, 1024.25f}, {1024.25f, 0.25f}};
  for (const auto& centre : centres) {
    SplatRaster edge(kSize, kSize);
    edge.Draw({centre[0], centre[1], 10.0f, 10.0f}, 1.0f, ShippedSplat());
    const int dx = static_cast<int>(centre[0]) - 512, dy = static_cast<int>(centre[1]) - 512;
    double expected = 0;
    for (int j = 500; j < 524; ++j) {
      for (int i = 500; i < 524; ++i) {
        const int x = i + dx, y = j + dy;
        if (x < 0 || y < 0 || x >= int(kSize) || y >= int(kSize)) continue;
        ASSERT_EQ(edge.Weight(x, y), middle.Weight(i, j)) << x << "," << y;
        expected += middle.Weight(i, j);
      }
    }
    EXPECT_NEAR(TotalWeight(edge), expected, 1e-3);
  }
  // Squares wholly outside stamp nothing; a vast one covers every texel.
  SplatRaster raster(kSize, kSize);
  raster.Draw({-20.0f, 512.0f, 10.0f, 10.0f}, 1.0f, ShippedSplat());
  raster.Draw({512.0f, 1e9f, 10.0f, 10.0f}, 1.0f, ShippedSplat());
  EXPECT_EQ(TotalWeight(raster), 0.0);
  raster.Draw({512.0f, 512.0f, 1e30f, 1e30f}, 1.0f, ShippedSplat());
  EXPECT_GT(raster.Weight(0, 0), 0.9f);
  EXPECT_GT(raster.Weight(1023, 1023), 0.9f);
}

TEST(SplatRaster, DilationGrowsTheCoveredTexelsByOneRingPerPass) {
  std::mt19937 random(7);
  // Odd sizes, so that the eight-at-a-time scan meets partial groups and borders, and wide
  // ones with few seeds, whose passes skip most blocks of its rows, one of them with a wide
  // stretch covered from top to bottom (whole blocks of 16 covered, with seeds beside them).
  for (const auto& [width, height] :
       {std::pair<uint32_t, uint32_t>{37, 23}, {100, 9}, {9, 40}, {1100, 7}, {1000, 6}}) {
    SplatRaster raster(width, height);
    std::uniform_int_distribution<uint32_t> column(0, width - 1), row(0, height - 1);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    if (width == 1000) raster.Draw({400.0f, 3.0f, 70.0f, 40.0f}, 0.25f, ShippedSplat());
    for (uint32_t n = 0; n < 4 + width / 50; ++n) {
      // A one-pixel square over a texel centre covers that texel alone.
      raster.Draw({column(random) + 0.5f, row(random) + 0.5f, 0.5f, 0.5f}, value(random), ShippedSplat());
    }
    raster.Resolve();
    // The brute-force growth: a pass fills every empty texel next to one filled before it
    // with the mean of those neighbours.
    std::vector<int> generation(width * height);
    std::vector<float> values(width * height);
    for (uint32_t j = 0; j < height; ++j) {
      for (uint32_t i = 0; i < width; ++i) {
        generation[j * width + i] = raster.Weight(i, j) > 0 ? 1 : 0;
        values[j * width + i] = raster.Value(i, j);
      }
    }
    for (int pass = 1; pass <= 3; ++pass) {
      std::vector<int> nextGeneration = generation;
      std::vector<float> nextValues = values;
      for (int j = 0; j < int(height); ++j) {
        for (int i = 0; i < int(width); ++i) {
          if (generation[j * width + i] != 0) continue;
          float sum = 0;
          int count = 0;
          for (int y = std::max(j - 1, 0); y <= std::min(j + 1, int(height) - 1); ++y) {
            for (int x = std::max(i - 1, 0); x <= std::min(i + 1, int(width) - 1); ++x) {
              if (generation[y * width + x] != 0) sum += values[y * width + x], ++count;
            }
          }
          if (count > 0) nextGeneration[j * width + i] = pass + 1, nextValues[j * width + i] = sum / count;
        }
      }
      generation.swap(nextGeneration);
      values.swap(nextValues);
    }
    raster.Dilate(3);
    for (uint32_t j = 0; j < height; ++j) {
      for (uint32_t i = 0; i < width; ++i) {
        ASSERT_EQ(raster.Generation(i, j), generation[j * width + i]) << width << "x" << height << " " << i << "," << j;
        ASSERT_NEAR(raster.Value(i, j), values[j * width + i], 1e-6f);
      }
    }
  }
}

TEST(SplatRaster, ARasterClearedAsItIsReadBakesTheNextMaskLikeAFreshOne) {
  // Ragged sizes, so that rows end in partial groups; both ways a bake ends (8-bit through
  // ToGreyClearing, 16-bit through ToGrey16, which leaves the values for Clear).
  constexpr uint32_t kWidth = 77, kHeight = 45;
  std::mt19937 random(11);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  auto drawSome = [&](std::vector<SplatRaster*> rasters) {
    for (int n = 0; n < 30; ++n) {
      const SplatSquare square{unit(random) * kWidth, unit(random) * kHeight, 1.0f + 9.0f * unit(random),
                               1.0f + 9.0f * unit(random)};
      const float value = unit(random);
      for (SplatRaster* raster : rasters) raster->Draw(square, value, ShippedSplat());
    }
  };
  for (const bool rgb : {true, false}) {
    SplatRaster reused(kWidth, kHeight), first(kWidth, kHeight);
    drawSome({&reused, &first});
    reused.ResolveClearing();
    first.Resolve();
    for (uint32_t j = 0; j < kHeight; ++j) {
      for (uint32_t i = 0; i < kWidth; ++i) {
        ASSERT_EQ(reused.Value(i, j), first.Value(i, j)) << i << "," << j;
        ASSERT_EQ(reused.Generation(i, j), first.Generation(i, j)) << i << "," << j;
      }
    }
    reused.Dilate(kMaskDilationPasses);
    first.Dilate(kMaskDilationPasses);
    if (rgb) {
      std::vector<uint8_t> cleared(kWidth * kHeight), kept(kWidth * kHeight * 3);
      reused.ToGreyClearing(cleared.data());
      first.ToRgb(kept.data());
      for (size_t i = 0; i < cleared.size(); ++i) ASSERT_EQ(cleared[i], kept[3 * i]) << i;
    } else {
      std::vector<uint16_t> grey(kWidth * kHeight);
      reused.ToGrey16(grey.data());
    }
    reused.Clear();
    SplatRaster fresh(kWidth, kHeight);
    drawSome({&reused, &fresh});
    for (uint32_t j = 0; j < kHeight; ++j) {
      for (uint32_t i = 0; i < kWidth; ++i) {
        ASSERT_EQ(reused.Value(i, j), fresh.Value(i, j)) << rgb << " " << i << "," << j;
        ASSERT_EQ(reused.Weight(i, j), fresh.Weight(i, j)) << rgb << " " << i << "," << j;
      }
    }
  }
}

TEST(SplatRaster, ResolveDividesEachTexelsSumsAndMarksWhatWasCovered) {
  constexpr uint32_t kWidth = 53, kHeight = 4;
  SplatRaster raster(kWidth, kHeight);
  std::mt19937 random(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  // Squares of every size at random places, so that sums and weights differ texel by texel and
  // some texels stay empty.
  for (int n = 0; n < 40; ++n) {
    raster.Draw({unit(random) * kWidth, unit(random) * kHeight, 0.3f + 2.0f * unit(random), 0.3f + unit(random)},
                unit(random), ShippedSplat());
  }
  std::vector<float> sums, weights;
  for (uint32_t j = 0; j < kHeight; ++j) {
    for (uint32_t i = 0; i < kWidth; ++i) sums.push_back(raster.Value(i, j)), weights.push_back(raster.Weight(i, j));
  }
  raster.Resolve();
  int empty = 0;
  for (uint32_t j = 0; j < kHeight; ++j) {
    for (uint32_t i = 0; i < kWidth; ++i) {
      const size_t at = j * kWidth + i;
      const bool covered = weights[at] > 0.0f;
      empty += !covered;
      ASSERT_EQ(raster.Generation(i, j), covered ? 1 : 0) << i << "," << j;
      ASSERT_EQ(raster.Value(i, j), covered ? sums[at] / weights[at] : 0.0f) << i << "," << j;
    }
  }
  EXPECT_GT(empty, 0);
}

TEST(SplatRaster, ToRgbAndToGreyRoundEveryTexelToItsClampedGrey) {
  // Wide enough for whole groups of sixteen texels and a ragged end; values below 0, above 1
  // and on the half steps between grey levels.
  constexpr uint32_t kWidth = 53, kHeight = 3;
  SplatRaster raster(kWidth, kHeight);
  for (uint32_t j = 0; j < kHeight; ++j) {
    for (uint32_t i = 0; i < kWidth; ++i) {
      const float value = -0.3f + 1.6f * float(j * kWidth + i) / float(kWidth * kHeight) + (i % 3) * 0.5f / 255.0f;
      raster.Draw({i + 0.5f, j + 0.5f, 0.5f, 0.5f}, value, ShippedSplat());
    }
  }
  raster.Resolve();
  std::vector<uint8_t> rgb(kWidth * kHeight * 3);
  raster.ToRgb(rgb.data());
  for (uint32_t j = 0; j < kHeight; ++j) {
    for (uint32_t i = 0; i < kWidth; ++i) {
      const float clamped = std::min(std::max(raster.Value(i, j), 0.0f), 1.0f);
      const int expected = static_cast<int>(clamped * 255.0f + 0.5f);
      const size_t at = 3 * (j * kWidth + i);
      ASSERT_EQ(rgb[at], expected) << i << "," << j;
      ASSERT_EQ(rgb[at + 1], expected) << i << "," << j;
      ASSERT_EQ(rgb[at + 2], expected) << i << "," << j;
    }
  }
  std::vector<uint8_t> grey(kWidth * kHeight);
  raster.ToGreyClearing(grey.data());
  for (size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], rgb[3 * i]) << i;
}

TEST(SampleSplats, EveryBakeDrawsFreshJitterAndStaysWithinAnEighthOfAPixel) {
  std::unique_ptr<SampleMap> map = MapOf({SampleAt(0.5f, 0.5f, 1.0f)});
  std::vector<std::pair<double, double>> centres;
  for (int channel = 0; channel < 3; ++channel) {
    SplatRaster raster(kSize, kSize);
    SplatSamples(*map, channel, 1.0f, ShippedSplat(), raster);
    centres.push_back(WeightCentroid(raster));
    EXPECT_LE(std::abs(centres.back().first - 512.0), 0.1251);
    EXPECT_LE(std::abs(centres.back().second - 512.0), 0.1251);
  }
  EXPECT_NE(centres[0], centres[1]);
  EXPECT_NE(centres[1], centres[2]);
  EXPECT_NE(centres[0], centres[2]);
}

struct SampledModel {
  explicit SampledModel(const std::string& name) {
    model = RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/" + name + ".obj").c_str());
    soup = std::make_unique<RenderLib::TriangleSoup>(*model);
    tree.Build(*soup, 24, 16);
    build = BuildSampleMap(tree, *soup, 30);
  }
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
  SampleMapBuild build;
};

TEST(MaskBaking, AUniformFieldStaysUniformOverEveryCoveredTexel) {
  // The bunny's atlas has many charts, so the mask has many edges between covered and empty.
  SampledModel bunny("bunny");
  SampleMap& map = *bunny.build.map;
  for (uint32_t i = 0; i < map.Count(); ++i) map.Items()[i].dirt = 0.6f;
  TemporaryFolder folder;
  const std::string file = (folder.path / "mask_dirt00.jpg").string();
  ASSERT_EQ(BakeAndSaveMask(1, file.c_str(), kSize, kSize, map, bunny.build.spacing, ShippedSplat()), 0);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"mask_dirt00.jpg"});

  // Where the texels are covered, before and after the JPEG.
  SplatRaster raster(kSize, kSize);
  SplatSamples(map, 1, bunny.build.spacing, ShippedSplat(), raster);
  raster.Resolve();
  raster.Dilate(kMaskDilationPasses);
  ImageLib::ImageF mask;
  ASSERT_TRUE(mask.Load(file.c_str()));
  ASSERT_EQ(mask.width, kSize);
  ASSERT_EQ(mask.height, kSize);
  ASSERT_EQ(mask.channels, 3u);
  uint32_t covered = 0;
  float worst = 0;
  for (uint32_t j = 0; j < kSize; ++j) {
    for (uint32_t i = 0; i < kSize; ++i) {
      if (raster.Generation(i, j) == 0) continue;
      ++covered;
      ASSERT_NEAR(raster.Value(i, j), 0.6f, 1e-5f) << i << "," << j;
      // The saved mask had jitter of its own, which can move the outermost dilated ring by a
      // texel; the texels the splats covered are covered there too.
      if (raster.Generation(i, j) != 1) continue;
      const float* texel = mask.samples + (size_t(j) * kSize + i) * 3;
      EXPECT_EQ(texel[0], texel[1]);
      EXPECT_EQ(texel[0], texel[2]);
      worst = std::max(worst, std::abs(texel[0] - 0.6f));
    }
  }
  EXPECT_GT(covered, kSize * kSize / 2);
  EXPECT_LE(worst, 1.0f / 255.0f);

}

TEST(MaskBaking, AMapWithNoSamplesGivesABlackMask) {
  std::unique_ptr<SampleMap> empty = MapOf({});
  TemporaryFolder folder;
  const std::string file = (folder.path / "mask_rust03.jpg").string();
  ASSERT_EQ(BakeAndSaveMask(2, file.c_str(), kSize, kSize, *empty, 0.02f, ShippedSplat()), 0);
  ImageLib::ImageF mask;
  ASSERT_TRUE(mask.Load(file.c_str()));
  ASSERT_EQ(mask.width * mask.height * mask.channels, kSize * kSize * 3);
  const size_t lit = std::count_if(mask.samples, mask.samples + kSize * kSize * 3, [](float s) { return s != 0.0f; });
  EXPECT_EQ(lit, 0u);
}

TEST(MaskBaking, AMaskThatCannotBeWrittenLeavesNothingBehind) {
  std::unique_ptr<SampleMap> map = MapOf({SampleAt(0.5f, 0.5f, 0.5f)});
  TemporaryFolder folder;
  const std::string good = (folder.path / "mask_dirt00.jpg").string();

  testing::internal::CaptureStderr();
  // A folder that is missing, a "folder" that is a file, a target that is a folder.
  std::ofstream(folder.path / "plain").put('x');
  fs::create_directory(folder.path / "taken.jpg");
  const SplatImage& splat = ShippedSplat();
  EXPECT_EQ(BakeAndSaveMask(1, (folder.path / "missing/mask.jpg").c_str(), kSize, kSize, *map, 1.0f, splat),
            kMaskNotWritten);
  EXPECT_EQ(BakeAndSaveMask(1, (folder.path / "plain/mask.jpg").c_str(), kSize, kSize, *map, 1.0f, splat),
            kMaskNotWritten);
  EXPECT_EQ(BakeAndSaveMask(1, (folder.path / "taken.jpg").c_str(), kSize, kSize, *map, 1.0f, splat), kMaskNotWritten);
  EXPECT_TRUE(fs::is_empty(folder.path / "taken.jpg"));
  // Arguments no mask can be made of.
  EXPECT_EQ(BakeAndSaveMask(3, good.c_str(), kSize, kSize, *map, 1.0f, splat), kMaskBadArguments);
  EXPECT_EQ(BakeAndSaveMask(0, good.c_str(), 0, kSize, *map, 1.0f, splat), kMaskBadArguments);
  EXPECT_EQ(BakeAndSaveMask(0, nullptr, kSize, kSize, *map, 1.0f, splat), kMaskBadArguments);
  EXPECT_EQ(BakeAndSaveMask(1, good.c_str(), kSize, kSize, *map, 1.0f, SplatImage()), kMaskNoSplat);
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("missing/mask.jpg"), std::string::npos) << messages;
  EXPECT_NE(messages.find("splat"), std::string::npos) << messages;

  std::vector<std::string> entries = folder.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"plain", "taken.jpg"}));

  // A good bake replaces an earlier mask in one step and leaves no temporary beside it.
  std::ofstream(good) << "an older mask";
  ASSERT_EQ(BakeAndSaveMask(1, good.c_str(), 64, 32, *map, 1.0f, splat), 0);
  ImageLib::ImageF mask;
  ASSERT_TRUE(mask.Load(good.c_str()));
  EXPECT_EQ(mask.width, 64u);
  EXPECT_EQ(mask.height, 32u);
  entries = folder.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"mask_dirt00.jpg", "plain", "taken.jpg"}));

  // A stopped bake saves none of its step's masks and keeps the earlier ones.
  const std::atomic<bool> stop{true};
  const std::string names[3] = {(folder.path / "h.jpg").string(), good, (folder.path / "r.png").string()};
  const char* const fileNames[3] = {names[0].c_str(), names[1].c_str(), names[2].c_str()};
  int32_t codes[3];
  EXPECT_EQ(BakeAndSaveMasks(fileNames, 96, 48, *map, 1.0f, splat, codes, &stop), 0);
  EXPECT_EQ(codes[0], kMaskStopped);
  EXPECT_EQ(codes[2], kMaskStopped);
  EXPECT_EQ(folder.Entries().size(), 3u);
  ASSERT_TRUE(mask.Load(good.c_str()));
  EXPECT_EQ(mask.height, 32u);
}

}  // namespace
}  // namespace Simulation
