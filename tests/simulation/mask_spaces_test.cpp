#include "simulation/mask_spaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imagelib/image.h"
#include "renderlib/kd_tree.h"
#include "renderlib/triangle_soup.h"
#include "simulation/mask_files.h"
#include "simulation/patinex_process.h"
#include "simulation/run_record.h"
#include "simulation/sample_map_builder.h"
#include "tests/support/shipped_splat.h"

namespace Simulation {
namespace {

namespace fs = std::filesystem;
using RenderLib::Vector3;

// A model of quads, one group each, laid flat at height y facing up or down, spanning
// [x0, x1] x [x0, x1] across and the texture rectangle [u0, u1] x [v0, v1].
class QuadModel {
public:
  int32_t AddMaterial(const char* name) {
    RenderLib::MaterialHandle material(new RenderLib::Material());
    std::strncpy(material->name, name, RenderLib::Material::kNameCapacity - 1);
    model.materials.push_back(material);
    return int32_t(model.materials.size()) - 1;
  }

  void AddQuad(int32_t material, float u0, float v0, float u1, float v1, float y = 0.0f, bool up = true,
               float x0 = 0.0f, float x1 = 1.0f) {
    RenderLib::MeshGroup group;
    group.materialIndex = material;
    const float corners[4][4] = {{x0, x0, u0, v0}, {x1, x0, u1, v0}, {x1, x1, u1, v1}, {x0, x1, u0, v1}};
    for (const auto& corner : corners) {
      RenderLib::VertexNormalUV vertex;
      vertex.position = {corner[0], y, corner[1]};
      vertex.normal = {0.0f, up ? 1.0f : -1.0f, 0.0f};
      vertex.tangent = {1.0f, 0.0f, 0.0f};
      vertex.u = corner[2];
      vertex.v = corner[3];
      group.vertices.push_back(vertex);
    }
    // Wound to face the way the normal points (seen from above, anticlockwise faces up).
    group.indices = up ? std::vector<int32_t>{0, 2, 1, 0, 3, 2} : std::vector<int32_t>{0, 1, 2, 0, 2, 3};
    model.groups.push_back(group);
  }

  RenderLib::ObjModel model;
};

// Both ways of asking (the model, and the soup made of it) must give one answer.
MaskSpaces Spaces(const RenderLib::ObjModel& model) {
  const MaskSpaces fromModel = AssignMaskSpaces(model);
  const MaskSpaces fromSoup = AssignMaskSpaces(RenderLib::TriangleSoup(model));
  EXPECT_EQ(fromModel.spaceOfMaterial, fromSoup.spaceOfMaterial);
  EXPECT_EQ(fromModel.count, fromSoup.count);
  return fromModel;
}

TEST(MaskSpaces, MaterialsShareASpaceUnlessTheirChartsOverlap) {
  QuadModel quads;
  const int32_t left = quads.AddMaterial("left"), right = quads.AddMaterial("right");
  const int32_t whole = quads.AddMaterial("whole"), flat = quads.AddMaterial("flat");
  const int32_t nextTile = quads.AddMaterial("nextTile"), rightAgain = quads.AddMaterial("rightAgain");
  // Side by side: one space.
  quads.AddQuad(left, 0.0f, 0.0f, 0.5f, 1.0f);
  quads.AddQuad(right, 0.5f, 0.0f, 1.0f, 1.0f);
  EXPECT_EQ(Spaces(quads.model).spaceOfMaterial, (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Spaces(quads.model).count, 1);

  // Over both: a space of its own. No area in texture space: space 0. The left half one tile
  // over lies where the left half is as the masks repeat, and a second copy of the right half
  // overlaps both spaces, so it opens a third.
  quads.AddQuad(whole, 0.0f, 0.0f, 1.0f, 1.0f);
  quads.AddQuad(flat, 0.3f, 0.3f, 0.3f, 0.3f);
  quads.AddQuad(nextTile, 1.0f, 0.0f, 1.5f, 1.0f);
  quads.AddQuad(rightAgain, 0.5f, 0.0f, 1.0f, 1.0f);
  const MaskSpaces spaces = Spaces(quads.model);
  EXPECT_EQ(spaces.spaceOfMaterial, (std::vector<int32_t>{0, 0, 1, 0, 2, 2}));
  EXPECT_EQ(spaces.count, 3);
  EXPECT_EQ(spaces.SpaceOf(-1), 0);
  EXPECT_EQ(spaces.SpaceOf(99), 0);
}

TEST(MaskSpaces, OwnOverlapsSliversAndNeighboursKeepAMaterialInTheFirstSpace) {
  // Mirrored halves: the material's two charts lie on each other, which is its own affair.
  QuadModel quads;
  const int32_t mirrored = quads.AddMaterial("mirrored"), other = quads.AddMaterial("other");
  const int32_t fine = quads.AddMaterial("fine");
  quads.AddQuad(mirrored, 0.0f, 0.0f, 0.5f, 1.0f);
  quads.AddQuad(mirrored, 0.5f, 0.0f, 0.0f, 1.0f);
  quads.AddQuad(other, 0.5f, 0.0f, 1.0f, 0.5f);
  // A sliver of overlap, under the allowed share of the second material's texels, is allowed.
  quads.AddQuad(other, 0.49f, 0.5f, 1.0f, 0.6f);
  // A chart of triangles far smaller than the raster's texels, bordering both.
  constexpr float kStep = 0.004f;
  for (float u = 0.5f; u < 1.0f - kStep / 2; u += kStep) {
    for (float v = 0.6f; v < 1.0f - kStep / 2; v += kStep) quads.AddQuad(fine, u, v, u + kStep, v + kStep);
  }
  const MaskSpaces spaces = Spaces(quads.model);
  EXPECT_EQ(spaces.spaceOfMaterial, (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(spaces.count, 1);

  // Alone, a chart smaller than a texel still claims one.
  QuadModel speck;
  const int32_t whole = speck.AddMaterial("whole"), tiny = speck.AddMaterial("tiny");
  speck.AddQuad(whole, 0.0f, 0.0f, 1.0f, 1.0f);
  speck.AddQuad(tiny, 0.3f, 0.6f, 0.301f, 0.601f);
  EXPECT_EQ(Spaces(speck.model).spaceOfMaterial, (std::vector<int32_t>{0, 1}));
}

// A roof and, well below it, a floor facing down: each its own material over the whole unit
// square of texture space. Rain from above ages the roof only.
struct RoofAndFloor {
  RoofAndFloor() {
    const int32_t roof = quads.AddMaterial("Roof"), floor = quads.AddMaterial("Floor");
    quads.AddQuad(roof, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, true, -2.0f, 2.0f);
    quads.AddQuad(floor, 0.0f, 0.0f, 1.0f, 1.0f, -2.0f, false, -0.5f, 0.5f);
    soup = std::make_unique<RenderLib::TriangleSoup>(quads.model);
    tree.Build(*soup, 24, 16);
  }
  QuadModel quads;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
};

// The brightest texel of a mask, and the one at its centre.
struct MaskLook {
  float brightest = 0.0f;
  float centre = -1.0f;
};

MaskLook Look(const std::string& file) {
  ImageLib::ImageF mask;
  MaskLook look;
  EXPECT_TRUE(mask.Load(file.c_str())) << file;
  if (!mask.valid) return look;
  for (size_t i = 0; i < size_t(mask.width) * mask.height * mask.channels; ++i) {
    look.brightest = std::max(look.brightest, mask.samples[i]);
  }
  look.centre = mask.samples[(size_t(mask.height / 2) * mask.width + mask.width / 2) * mask.channels];
  return look;
}

TEST(MaskSpaces, EachSpaceIsBakedFromItsOwnSamplesOnly) {
  const RoofAndFloor scene;
  ASSERT_EQ(AssignMaskSpaces(scene.quads.model).count, 2);
  SampleMapBuild build = BuildSampleMap(scene.tree, *scene.soup, 40);
  ASSERT_NE(build.map, nullptr);
  ASSERT_EQ(build.map->SpaceCount(), 2);
  // Every sample is in its material's space: the floor's face down.
  uint32_t onFloor = 0;
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    EXPECT_EQ(MaskSpaceOf(sample), sample.normal.y < 0.0f ? 1 : 0);
    EXPECT_LT(sample.splitAxis & kSplitAxisBits, 3u);
    onFloor += sample.normal.y < 0.0f;
  }
  ASSERT_GT(onFloor, 50u);
  // The floor starts dirtier than the rain leaves anything: a mask that mixed the two would show it.
  constexpr float kFloorDirt = 0.4f;
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    if (MaskSpaceOf(build.map->Items()[i]) == 1) build.map->Items()[i].dirt = kFloorDirt;
  }

  const fs::path folder = fs::temp_directory_path() / ("patinex_spaces_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  const std::string folderName = folder.string();
  ThreadingLib::CriticalLock uiLock;
  std::atomic<uint8_t> finished{0};
  SimulationParams params;
  params.kdTree = &scene.tree;
  params.mesh = scene.soup.get();
  params.sampleMap = build.map.get();
  params.tonsPerStep = 10000;
  params.maskWidth = params.maskHeight = 256;
  params.sampleSpacing = build.spacing;
  params.uiLock = &uiLock;
  params.finished = &finished;
  params.density = 40;
  params.maskFolder = folderName.c_str();
  params.modelName = "roof_and_floor.obj";
  params.workerCount = 1;
  params.splat = &ShippedSplat();
  PatinexProcess process;
  process.Run(&params);

  // What each space's samples hold after the run.
  float roofDirt = 0.0f, roofRust = 0.0f, floorRust = 0.0f, floorDirtLow = 1.0f, floorDirtHigh = 0.0f;
  for (uint32_t i = 0; i < build.map->Count(); ++i) {
    const SurfaceSample& sample = build.map->Items()[i];
    if (MaskSpaceOf(sample) == 0) {
      roofDirt = std::max(roofDirt, sample.dirt);
      roofRust = std::max(roofRust, sample.rust);
    } else {
      floorDirtLow = std::min(floorDirtLow, sample.dirt);
      floorDirtHigh = std::max(floorDirtHigh, sample.dirt);
      floorRust = std::max(floorRust, sample.rust);
    }
  }
  ASSERT_GT(roofDirt, 0.01f);  // the rain reached the roof
  ASSERT_GT(floorDirtLow, roofDirt + 0.05f);
  // One set of masks a space, though both materials' charts lie on the very same texels: each
  // shows what its own samples hold and nothing of the other's.
  const float tolerance = 2.0f / 255.0f;
  const MaskLook roof = Look(MaskFileName(folderName.c_str(), MaskChannel::kDirt, 0, kMaskJpeg, 0));
  const MaskLook floor = Look(MaskFileName(folderName.c_str(), MaskChannel::kDirt, 0, kMaskJpeg, 1));
  EXPECT_GT(roof.brightest, roofDirt * 0.5f);
  EXPECT_LE(roof.brightest, roofDirt + tolerance);
  EXPECT_GE(floor.centre, floorDirtLow - tolerance);
  EXPECT_LE(floor.brightest, floorDirtHigh + tolerance);
  const std::string roofRustMask = MaskFileName(folderName.c_str(), MaskChannel::kRust, 0, kMaskJpeg, 0);
  const std::string floorRustMask = MaskFileName(folderName.c_str(), MaskChannel::kRust, 0, kMaskJpeg, 1);
  EXPECT_LE(Look(roofRustMask).brightest, roofRust + tolerance);
  EXPECT_LE(Look(floorRustMask).brightest, floorRust + tolerance);
  EXPECT_TRUE(fs::exists(MaskFileName(folderName.c_str(), MaskChannel::kHumidity, 0, kMaskJpeg, 1)));

  // The record says which materials went where, and takes the step as saved.
  RunRecord record;
  std::string error;
  ASSERT_EQ(ReadRunRecord(folderName, &record, &error), RecordState::kFound) << error;
  EXPECT_EQ(record.identity.maskSpaces, 2);
  EXPECT_EQ(record.spaceMaterials, (std::vector<std::vector<std::string>>{{"Roof"}, {"Floor"}}));
  EXPECT_TRUE(record.HoldsStep(0));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace Simulation
