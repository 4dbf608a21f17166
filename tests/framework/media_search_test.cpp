#include "framework/media_search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

class MediaSearchTree : public testing::Test {
protected:
  MediaSearchTree()
      : top(fs::temp_directory_path() / ("patinex_media_search_" + std::to_string(std::random_device{}()))) {
    fs::create_directories(top / "a" / "b" / "c");
    fs::create_directories(top / "app" / "bin");
  }
  ~MediaSearchTree() override { fs::remove_all(top); }
  void Put(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
  }
  std::string Find(const std::string& name, Platform::Result expected = Platform::kOk) {
    std::string path;
    EXPECT_EQ(FindMediaFileFrom(name, current.string(), program.string(), &path), expected) << name;
    return path;
  }
  fs::path top;
  fs::path current = top / "a" / "b" / "c";
  fs::path program = top / "app" / "bin" / "demo.exe";
};

TEST_F(MediaSearchTree, TypicalFoldersComeBeforeMediaFoldersAndParentFolders) {
  Put(top / "a" / "b" / "c" / "media" / "x.fx");
  EXPECT_EQ(Find("x.fx"), "media/x.fx");
  Put(top / "a" / "x.fx");  // two folders up: a typical folder
  EXPECT_EQ(Find("x.fx"), "../../x.fx");
  Put(top / "a" / "b" / "c" / "x.fx");
  EXPECT_EQ(Find("x.fx"), "x.fx");
}

TEST_F(MediaSearchTree, TheProgramsFolderAndItsNamedSiblingAreTypicalFolders) {
  Put(top / "demo" / "y.fx");  // <program folder>/../../<program name>/y.fx
  EXPECT_EQ(Find("y.fx"), (program.parent_path() / "../../demo/y.fx").string());
  Put(top / "app" / "bin" / "y.fx");
  EXPECT_EQ(Find("y.fx"), (program.parent_path() / "y.fx").string());
}

TEST_F(MediaSearchTree, ParentFoldersAreSearchedUpToTheRootWithBackslashesTakenAsSlashes) {
  fs::create_directories(top / "deep" / "1" / "2" / "3" / "4");
  current = top / "deep" / "1" / "2" / "3" / "4";
  Put(top / "deep" / "media" / "sub" / "z.fx");
  EXPECT_EQ(Find("sub\\z.fx"), (top / "deep" / "media" / "sub" / "z.fx").string());
}

TEST_F(MediaSearchTree, ANameFoundNowhereComesBackUnchanged) {
  EXPECT_EQ(Find("media\\nowhere_3141.fx", kFrameworkMediaNotFound), "media\\nowhere_3141.fx");
}

TEST(FrameworkFindMediaFile, RejectsMissingArgumentsAndSmallBuffers) {
  char destination[64];
  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, ""), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, nullptr), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(nullptr, 64, "a.fx"), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(destination, 9, "a.fx"), Platform::kInvalidArgument);
  char small[12];
  EXPECT_EQ(FrameworkFindMediaFile(small, 12, "no_such_media_file_anywhere.fx"), kFrameworkBufferTooSmall);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, "no_such_media_file_anywhere.fx"), kFrameworkMediaNotFound);
  EXPECT_STREQ(destination, "no_such_media_file_anywhere.fx");
}

}  // namespace
