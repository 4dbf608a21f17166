#include "app/mask_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// Masks that cannot go aside stay where they are, and the reason is given; other files never move.
TEST(MaskHistory, MasksThatCannotMoveAsideStayAndSayWhy) {
  const fs::path folder = fs::temp_directory_path() / ("patinex_mask_history_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  std::ofstream(folder / "previous") << "a file in the way";
  std::ofstream(folder / "mask_dirt00.jpg") << "mask";
  std::ofstream(folder / "tex_base.jpg") << "texture";
  std::string why;
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), -1);
  EXPECT_NE(why.find("previous"), std::string::npos) << why;
  EXPECT_TRUE(fs::exists(folder / "mask_dirt00.jpg"));
  fs::remove(folder / "previous");
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), 1) << why;
  EXPECT_TRUE(fs::exists(folder / "previous" / "mask_dirt00.jpg"));
  EXPECT_TRUE(fs::exists(folder / "tex_base.jpg"));
  fs::remove_all(folder);
}

// A failed step's masks go in every mask space, and only that step's; the earlier masks of every
// space go aside together.
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
  std::string why;
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), 2) << why;
  EXPECT_TRUE(fs::exists(folder / "previous" / "mask_dirt02_space1.jpg"));
  EXPECT_TRUE(fs::exists(folder / "tex_space1.jpg"));
  fs::remove_all(folder);
}

}  // namespace
