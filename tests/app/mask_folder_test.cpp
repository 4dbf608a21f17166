#include "app/mask_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class MaskFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("patinex_mask_folder_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(root_);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::filesystem::path root_;
};

// The tests run as root, whom file permissions do not stop; /proc refuses new files to everyone,
// so it stands for a media folder installed read-only.
constexpr const char* kReadOnlyFolder = "/proc";

TEST_F(MaskFolderTest, WritableMediaFolderHoldsTheMasks) {
  EXPECT_EQ(ChooseMaskFolder(root_.string()), root_.string());
  EXPECT_TRUE(std::filesystem::is_empty(root_));  // the probe is cleaned up
}

TEST_F(MaskFolderTest, ReadOnlyMediaFolderFallsBackToTheDataHome) {
  const ScopedEnvironment dataHome("XDG_DATA_HOME", (root_ / "data").c_str());
  const std::filesystem::path expected = root_ / "data" / "Patinex" / "masks";
  EXPECT_EQ(ChooseMaskFolder(kReadOnlyFolder), expected.string());
  EXPECT_TRUE(std::filesystem::is_directory(expected));
  // No media folder at all (the program found none) goes the same way.
  EXPECT_EQ(ChooseMaskFolder(""), expected.string());
}

TEST_F(MaskFolderTest, UnsetOrRelativeDataHomeMeansHomeLocalShare) {
  const ScopedEnvironment home("HOME", root_.c_str());
  const std::string expected = (root_ / ".local" / "share" / "Patinex" / "masks").string();
  {
    const ScopedEnvironment dataHome("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(ChooseMaskFolder(kReadOnlyFolder), expected);
  }
  {
    const ScopedEnvironment dataHome("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    EXPECT_EQ(ChooseMaskFolder(kReadOnlyFolder), expected);
  }
}

TEST_F(MaskFolderTest, NoFolderCanBeWritten) {
  const ScopedEnvironment dataHome("XDG_DATA_HOME", (std::string(kReadOnlyFolder) + "/data").c_str());
  std::string problem;
  EXPECT_EQ(ChooseMaskFolder(kReadOnlyFolder, &problem), "");
  // The window shows why: both places and what stopped each.
  EXPECT_NE(problem.find("/proc is read-only"), std::string::npos) << problem;
  EXPECT_NE(problem.find("/proc/data/Patinex/masks"), std::string::npos) << problem;
  const ScopedEnvironment noDataHome("XDG_DATA_HOME", nullptr);
  const ScopedEnvironment noHome("HOME", nullptr);
  EXPECT_EQ(ChooseMaskFolder(kReadOnlyFolder), "");
}

}  // namespace
