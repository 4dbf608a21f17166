#include "platform_os/media_folder.h"

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
    fs::create_directories(current);
    fs::create_directories(program.parent_path());
  }
  ~MediaTree() override { fs::remove_all(top); }
  void Put(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
  }
  std::string Find(const std::string& name) { return FindMediaFile(name, current.string(), program.string()); }
  fs::path top;
  fs::path current = top / "work";
  fs::path program = top / "install" / "build" / "bin" / "patinex";
};

TEST_F(MediaTree, TheNameComesBeforeMediaAndTheInstalledMediaInTheTypicalFolders) {
  EXPECT_EQ(Find("SPLAT.png"), "");
  // Where an install puts it: PREFIX/share/patinex/media beside PREFIX/bin.
  Put(top / "install" / "build" / "share" / "patinex" / "media" / "SPLAT.png");
  EXPECT_EQ(Find("SPLAT.png"), (top / "install" / "build" / "share" / "patinex" / "media" / "SPLAT.png").string());
  Put(top / "install" / "media" / "SPLAT.png");  // two folders above the program
  EXPECT_EQ(Find("SPLAT.png"), (top / "install" / "media" / "SPLAT.png").string());
  Put(top / "install" / "build" / "bin" / "media" / "SPLAT.png");  // beside it
  EXPECT_EQ(Find("SPLAT.png"), (top / "install" / "build" / "bin" / "media" / "SPLAT.png").string());
  Put(current / "media" / "SPLAT.png");  // the current folder's media/ keeps its short relative path
  EXPECT_EQ(Find("SPLAT.png"), "media/SPLAT.png");
  Put(top / "SPLAT.png");  // the name itself, one folder up
  EXPECT_EQ(Find("SPLAT.png"), "../SPLAT.png");

  // Only files count, and only the name asked for.
  fs::create_directories(current / "media" / "sphere.obj");
  EXPECT_EQ(Find("sphere.obj"), "");
  EXPECT_EQ(Find(""), "");
  EXPECT_EQ(FindMediaFile("media/SPLAT.png", current.string(), ""), "media/SPLAT.png");
}

TEST_F(MediaTree, TheProgramsFolderAndItsNamedSiblingAreTypicalFolders) {
  program = top / "app" / "bin" / "demo.exe";
  fs::create_directories(program.parent_path());
  Put(top / "demo" / "y.fx");  // PROGRAM/../../<program name>/y.fx
  EXPECT_EQ(Find("y.fx"), (top / "demo" / "y.fx").string());
  Put(top / "app" / "bin" / "y.fx");
  EXPECT_EQ(Find("y.fx"), (top / "app" / "bin" / "y.fx").string());
}

TEST_F(MediaTree, FoldersAboveAreSearchedUpToTheRootAndAbsoluteNamesOnlyChecked) {
  current = top / "deep" / "1" / "2" / "3" / "4";
  fs::create_directories(current);
  Put(top / "deep" / "media" / "sub" / "z.fx");
  EXPECT_EQ(Find("sub/z.fx"), (top / "deep" / "media" / "sub" / "z.fx").string());
  Put(top / "deep" / "sub" / "z.fx");  // the name itself comes first
  EXPECT_EQ(Find("sub/z.fx"), (top / "deep" / "sub" / "z.fx").string());
  EXPECT_EQ(Find((top / "deep" / "sub" / "z.fx").string()), (top / "deep" / "sub" / "z.fx").string());
  EXPECT_EQ(Find((top / "z.fx").string()), "");
}

TEST_F(MediaTree, TheRunningProgramFindsTheShippedMediaFromAnyFolder) {
  EXPECT_EQ(fs::path(RunningProgramPath()).filename(), "platform_os_tests");
  const fs::path saved = fs::current_path();
  fs::current_path(current);
  const std::string found = FindMediaFile("SPLAT.png");
  Put(current / "media" / "SPLAT.png");
  const std::string local = FindMediaFile("SPLAT.png");
  fs::current_path(saved);
  // The test program is built under the source tree, whose media/ ships the splat.
  EXPECT_EQ(fs::canonical(found), fs::canonical(fs::path(PATINEX_SOURCE_DIR) / "media" / "SPLAT.png"));
  EXPECT_EQ(local, "media/SPLAT.png");
}

}  // namespace
}  // namespace Platform
