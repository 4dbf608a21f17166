#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/export_target.h"

namespace fs = std::filesystem;

namespace {

class ExportTargetTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("patinex_export_target_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder / "out");
  }
  void TearDown() override { fs::remove_all(folder); }
  void Touch(const std::string& name) { std::ofstream(folder / "out" / name) << "x"; }

  fs::path folder;  // stands for home too
};

// A name and folder make a path only as a file name ending in .glb or .gltf (none: .glb is added)
// in an existing folder given from / or ~; otherwise the problem says what to change.
TEST_F(ExportTargetTest, ANameAndAFolderMakeAPathOrSayWhatToChange) {
  const std::string out = (folder / "out").string();
  ExportTarget target = ResolveExportTarget("  bust_aged ", out, "");
  EXPECT_EQ(target.problem, "");
  EXPECT_EQ(target.name, "bust_aged.glb");
  EXPECT_EQ(target.path, (folder / "out" / "bust_aged.glb").string());
  target = ResolveExportTarget("bust.gltf", "~/out", folder.string());
  EXPECT_EQ(target.path, (folder / "out" / "bust.gltf").string()) << target.problem;

  for (const auto& [name, where] : {std::pair{"bust.obj", out}, {"bust.GLB", out}, {"", out}, {"sub/bust.glb", out},
                                    {"bust.glb", std::string("out")}, {"bust.glb", std::string()},
                                    {"bust.glb", out + "/missing"}, {"bust.glb", std::string("~/out")}}) {
    target = ResolveExportTarget(name, where, "");
    EXPECT_TRUE(target.path.empty()) << name << " in " << where << ": " << target.path;
    EXPECT_FALSE(target.problem.empty()) << name << " in " << where;
  }
}

// A .gltf's buffer or image beside it is in the way as much as the file itself; a .glb holds
// everything, so the files a .gltf of its name would have are not.
TEST_F(ExportTargetTest, TheFilesBesideAGltfCountAsInTheWay) {
  const std::string out = (folder / "out").string();
  EXPECT_TRUE(ExistingExportFiles(out + "/bust.gltf").empty());
  Touch("bust.bin");
  Touch("bust_mask_rust.png");
  Touch("bust_other.png");
  EXPECT_EQ(ExistingExportFiles(out + "/bust.gltf").size(), 2u);
  EXPECT_TRUE(ExistingExportFiles(out + "/bust.glb").empty());
  Touch("bust.glb");
  ASSERT_EQ(ExistingExportFiles(out + "/bust.glb").size(), 1u);
  EXPECT_EQ(ExistingExportFiles(out + "/bust.glb")[0], out + "/bust.glb");
}

TEST(ExportName, IsTheModelsNameAgedKeepingAChosenGltf) {
  EXPECT_EQ(SuggestedExportName("/media/beethoven.obj", ""), "beethoven_aged.glb");
  EXPECT_EQ(SuggestedExportName("/media/bunny.gltf", "mine.glb"), "bunny_aged.glb");
  EXPECT_EQ(SuggestedExportName("/media/bunny.obj", "beethoven_aged.gltf"), "bunny_aged.gltf");
}

}  // namespace
