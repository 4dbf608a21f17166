#include "platform_os/temporary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// How a publish fails, leaving nothing behind, the mask bake's tests show.
TEST_F(TemporaryFileTest, TheFinalNameShowsTheOldFileUntilTheNewOneIsPublishedWhole) {
  const fs::path final = folder / "mask.jpg";
  std::ofstream(final) << "old";
  std::string error;
  const mode_t umaskBefore = ::umask(027);
  {
    TemporaryFile file(final.string());
    ASSERT_TRUE(file.Create(&error)) << error;
    std::fputs("new", file.File());
    std::fflush(file.File());
    EXPECT_EQ(Read(final), "old");
    // Unnamed where the file system allows it; otherwise hidden, out of reach of "mask*".
    for (const std::string& name : Names(folder)) EXPECT_TRUE(name == "mask.jpg" || name[0] == '.') << name;
    ASSERT_TRUE(file.Publish(&error)) << error;
  }
  ::umask(umaskBefore);
  EXPECT_EQ(Read(final), "new");
  EXPECT_EQ(Names(folder), std::vector<std::string>{"mask.jpg"});
  // A saved file has the mode any new file gets: here the umask keeps it from others.
  EXPECT_EQ(fs::status(final).permissions(), fs::perms(0640));

  // One never published goes with its object.
  {
    TemporaryFile abandoned(final.string());
    ASSERT_TRUE(abandoned.Create(&error)) << error;
    std::fputs("abandoned", abandoned.File());
  }
  EXPECT_EQ(Names(folder), std::vector<std::string>{"mask.jpg"});
  EXPECT_EQ(Read(final), "new");
  EXPECT_EQ(TemporaryFile::HiddenNameFor((folder / "mask_dirt00.png").string()).rfind(
                (folder / ".mask_dirt00.png.part-").string(), 0),
            0u);
}

}  // namespace
}  // namespace Platform
