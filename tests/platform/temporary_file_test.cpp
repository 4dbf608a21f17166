#include "platform/temporary_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace Platform {
namespace {

namespace fs = std::filesystem;

class TemporaryFileTest : public testing::Test {
protected:
  TemporaryFileTest() : folder(fs::temp_directory_path() / ("patinex_temporary_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(folder);
  }
  ~TemporaryFileTest() override { fs::remove_all(folder); }
  std::string Read(const fs::path& file) const {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  }
  fs::path folder;
};

// How a publish fails, leaving nothing behind, the mask bake's tests show.
TEST_F(TemporaryFileTest, TheFinalNameShowsTheOldFileUntilTheNewOneIsPublishedWhole) {
  const fs::path final = folder / "mask.jpg";
  std::ofstream(final) << "old";
  std::string error;
  {
    TemporaryFile file(final.string());
    ASSERT_TRUE(file.Create(&error)) << error;
    std::fputs("new", file.File());
    std::fflush(file.File());
    EXPECT_EQ(Read(final), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    ASSERT_TRUE(file.Publish(&error)) << error;
  }
  EXPECT_EQ(Read(final), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  // Saved files are for every reader, unlike a fresh temporary.
  const fs::perms perms = fs::status(final).permissions();
  EXPECT_NE(perms & fs::perms::others_read, fs::perms::none);

  // One never published goes with its object.
  {
    TemporaryFile abandoned(final.string());
    ASSERT_TRUE(abandoned.Create(&error)) << error;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  EXPECT_EQ(Read(final), "new");
}

}  // namespace
}  // namespace Platform
