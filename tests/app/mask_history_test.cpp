#include "app/mask_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(MaskHistory, KnowsTheMaskFilesAndNothingElse) {
  for (const char* name : {"mask_dirt00.jpg", "mask_humidity07.jpg", "mask_rust123.png"})
    EXPECT_TRUE(IsMaskFileName(name)) << name;
  for (const char* name : {"mask_dirt0.jpg", "mask_dirt00.jpeg", "mask_dust00.jpg", "mask_dirt00.jpg.tmp",
                           "tex_base.jpg", "mask_rust.jpg", "previous"})
    EXPECT_FALSE(IsMaskFileName(name)) << name;
}

// The first run of a new history moves the folder's masks aside, keeping one generation, and
// leaves every other file where it is.
TEST(MaskHistory, MovingMasksAsideKeepsOneGenerationAndOtherFiles) {
  const fs::path folder = fs::temp_directory_path() / ("patinex_mask_history_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder / "previous");
  auto write = [](const fs::path& path, const std::string& text) { std::ofstream(path) << text; };
  write(folder / "mask_dirt00.jpg", "new");
  write(folder / "mask_rust01.png", "new");
  write(folder / "tex_base.jpg", "texture");
  write(folder / "previous" / "mask_dirt00.jpg", "old");
  write(folder / "previous" / "mask_dirt05.jpg", "old");
  write(folder / "previous" / "notes.txt", "mine");

  std::string why;
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), 2) << why;
  EXPECT_FALSE(fs::exists(folder / "mask_dirt00.jpg"));
  EXPECT_TRUE(fs::exists(folder / "tex_base.jpg"));
  std::ifstream moved(folder / "previous" / "mask_dirt00.jpg");
  std::string text;
  moved >> text;
  EXPECT_EQ(text, "new");
  EXPECT_TRUE(fs::exists(folder / "previous" / "mask_rust01.png"));
  EXPECT_FALSE(fs::exists(folder / "previous" / "mask_dirt05.jpg"));
  EXPECT_TRUE(fs::exists(folder / "previous" / "notes.txt"));
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), 0);

  // A file where previous/ should be: nothing moves, and why is said.
  fs::remove_all(folder / "previous");
  write(folder / "previous", "in the way");
  write(folder / "mask_dirt00.jpg", "new");
  EXPECT_EQ(MoveMasksAside(folder.string(), &why), -1);
  EXPECT_NE(why.find("previous"), std::string::npos) << why;
  EXPECT_TRUE(fs::exists(folder / "mask_dirt00.jpg"));
  fs::remove_all(folder);
}

}  // namespace
