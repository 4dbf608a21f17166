#include "platform/media_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace Platform {
namespace {

namespace fs = std::filesystem;

class MediaTree : public testing::Test {
protected:
  MediaTree() : top(fs::temp_directory_path() / ("patinex_media_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(top / "work");
    fs::create_directories(top / "install" / "build" / "bin");
  }
  ~MediaTree() override { fs::remove_all(top); }
  void Put(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
  }
  fs::path top;
};

TEST_F(MediaTree, TheCurrentFolderComesFirstThenTheProgramsFolderAndThoseAboveIt) {
  const std::string work = (top / "work").string();
  const std::string program = (top / "install" / "build" / "bin" / "patinex").string();
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, program), "");

  // Where an install puts it: PREFIX/share/patinex/media beside PREFIX/bin.
  Put(top / "install" / "build" / "share" / "patinex" / "media" / "SPLAT.png");
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, program),
            (top / "install" / "build" / "share" / "patinex" / "media" / "SPLAT.png").string());
  fs::remove_all(top / "install" / "build" / "share");
  Put(top / "install" / "media" / "SPLAT.png");  // two folders above the program
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, program), (top / "install" / "media" / "SPLAT.png").string());
  Put(top / "install" / "build" / "bin" / "media" / "SPLAT.png");  // beside it
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, program), (top / "install" / "build" / "bin" / "media" / "SPLAT.png").string());
  Put(top / "work" / "media" / "SPLAT.png");
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, program), (top / "work" / "media" / "SPLAT.png").string());

  // Only files count, and only the name asked for.
  fs::create_directories(top / "work" / "media" / "sphere.obj");
  EXPECT_EQ(FindMediaFile("sphere.obj", work, program), "");
  EXPECT_EQ(FindMediaFile("", work, program), "");
  EXPECT_EQ(FindMediaFile("SPLAT.png", work, ""), (top / "work" / "media" / "SPLAT.png").string());
}

TEST_F(MediaTree, TheRunningProgramFindsTheShippedMediaFromAnyFolder) {
  EXPECT_EQ(fs::path(RunningProgramPath()).filename(), "platform_tests");
  const fs::path saved = fs::current_path();
  fs::current_path(top / "work");
  const std::string found = FindMediaFile("SPLAT.png");
  Put(top / "work" / "media" / "SPLAT.png");
  const std::string local = FindMediaFile("SPLAT.png");
  fs::current_path(saved);
  // The test program is built under the source tree, whose media/ ships the splat.
  EXPECT_EQ(fs::canonical(found), fs::canonical(fs::path(PATINEX_SOURCE_DIR) / "media" / "SPLAT.png"));
  EXPECT_EQ(local, "media/SPLAT.png");
}

}  // namespace
}  // namespace Platform
