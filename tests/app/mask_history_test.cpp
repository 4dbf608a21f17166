#include "app/mask_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// A failed step's masks go in every mask space, and only that step's.
TEST(MaskHistory, AStepsMasksGoInEverySpace) {
  const fs::path folder = fs::temp_directory_path() / ("patinex_mask_spaces_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  for (const char* name : {"mask_dirt03.jpg", "mask_rust03_space1.jpg", "mask_humidity03_space2.jpg",
                           "mask_dirt02_space1.jpg", "mask_dirt13.jpg", "tex_space1.jpg"}) {
    std::ofstream(folder / name) << "mask";
  }
  RemoveMasksOfStep(folder.string(), 3);
  EXPECT_FALSE(fs::exists(folder / "mask_dirt03.jpg"));
  EXPECT_FALSE(fs::exists(folder / "mask_rust03_space1.jpg"));
  EXPECT_FALSE(fs::exists(folder / "mask_humidity03_space2.jpg"));
  EXPECT_TRUE(fs::exists(folder / "mask_dirt02_space1.jpg"));
  EXPECT_TRUE(fs::exists(folder / "mask_dirt13.jpg"));
  EXPECT_TRUE(fs::exists(folder / "tex_space1.jpg"));
  fs::remove_all(folder);
}

}  // namespace
