#include "platform_os/folder_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

namespace Platform {
namespace {

namespace fs = std::filesystem;

TEST(FolderLock, OneHolderAtATimeAndNothingLeftOnceReleased) {
  const fs::path folder = fs::temp_directory_path() / ("patinex_lock_" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  std::string error;
  int64_t holder = -1;
  FolderLock first, second;
  ASSERT_EQ(first.TryTake(folder.string(), &holder, &error), FolderLock::Result::kTaken) << error;
  EXPECT_TRUE(fs::exists(folder / FolderLock::kFileName));
  // Each lock is its own open file, so a second one is kept out even in the same process.
  EXPECT_EQ(second.TryTake(folder.string(), &holder, &error), FolderLock::Result::kHeld);
  EXPECT_EQ(holder, int64_t(::getpid()));
  first.Release();
  EXPECT_FALSE(fs::exists(folder / FolderLock::kFileName));
  EXPECT_EQ(second.TryTake(folder.string(), &holder, &error), FolderLock::Result::kTaken) << error;
  second.Release();
  EXPECT_TRUE(fs::is_empty(folder));

  EXPECT_EQ(first.TryTake((folder / "missing").string(), &holder, &error), FolderLock::Result::kFailed);
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace Platform
