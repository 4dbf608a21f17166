#include "shipped_media/shipped_splat.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(ShippedSplat, TheFileTheSearchFindsFirstIsLoadedOrItsFaultNamed) {
  Simulation::SplatImage splat;
  std::string error;
  ASSERT_TRUE(ShippedMedia::LoadSplat(splat, &error)) << error;
  EXPECT_GT(splat.Width(), 0u);
  EXPECT_EQ(splat.Width(), splat.Height());

  // A media/ in the current folder comes before the shipped one, even when it is broken.
  const fs::path saved = fs::current_path();
  const fs::path folder = fs::temp_directory_path() / ("patinex_splat_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "media");
  std::ofstream(folder / "media" / "SPLAT.png") << "not a picture";
  fs::current_path(folder);
  const bool loaded = ShippedMedia::LoadSplat(splat, &error);
  fs::current_path(saved);
  fs::remove_all(folder);
  EXPECT_FALSE(loaded);
  EXPECT_NE(error.find("media/SPLAT.png"), std::string::npos) << error;
  EXPECT_EQ(splat.Width(), 0u);
}

}  // namespace
