#include "platform_os/temporary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

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

// A FIFO or device named as the output is written into, never replaced by a file; a FIFO that no
// process reads is refused at once rather than waited on; a folder is refused.
TEST_F(TemporaryFileTest, WritesIntoAnOutputThatIsNoRegularFileInsteadOfReplacingIt) {
  const fs::path fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string error;
  {
    TemporaryFile unread(fifo.string());
    EXPECT_FALSE(unread.Create(&error));
    EXPECT_EQ(error, "it is a FIFO that no process reads");
  }
  std::string received;
  std::thread reader([&] { received = Read(fifo); });
  bool published = false;
  for (int attempt = 0; attempt < 500 && !published; ++attempt) {  // until the reader has opened it
    TemporaryFile file(fifo.string());
    if (!file.Create(&error)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    std::fputs("through the pipe", file.File());
    published = file.Publish(&error);
  }
  reader.join();
  EXPECT_TRUE(published) << error;
  EXPECT_EQ(received, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Names(folder), std::vector<std::string>{"pipe"});

  TemporaryFile null("/dev/null");
  ASSERT_TRUE(null.Create(&error)) << error;
  std::fputs("gone", null.File());
  EXPECT_TRUE(null.Publish(&error)) << error;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  TemporaryFile intoFolder(folder.string());
  EXPECT_FALSE(intoFolder.Create(&error));
  EXPECT_EQ(error, "it is a folder");
}

}  // namespace
}  // namespace Platform
