#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace Platform {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, FoldersAreWritableWhenAFileCanBeMadeInThem) {
  const fs::path top = fs::temp_directory_path() / ("patinex_folders_" + std::to_string(std::random_device{}()));
  const fs::path nested = top / "a" / "b";
  std::string error;
  ASSERT_TRUE(MakeWritableFolder(nested.string(), &error)) << error;
  EXPECT_TRUE(IsWritableFolder(nested.string()));
  EXPECT_TRUE(fs::is_empty(nested));  // the probe does not stay

  // Root ignores permission bits; /proc takes no new file from anyone.
  EXPECT_FALSE(IsWritableFolder("/proc", &error));
  EXPECT_NE(error.find("/proc"), std::string::npos) << error;
  EXPECT_FALSE(IsWritableFolder(""));
  EXPECT_FALSE(IsWritableFolder((top / "missing").string()));
  std::ofstream(top / "plain") << "x";
  EXPECT_FALSE(MakeWritableFolder((top / "plain").string(), &error));
  EXPECT_NE(error.find("plain"), std::string::npos) << error;
  fs::remove_all(top);
}

TEST(FileSystem, OnlyRegularFilesHaveASize) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fputs("twelve bytes", file);
  std::fflush(file);
  EXPECT_EQ(RegularFileSize(file), 12u);
  std::fclose(file);
  std::FILE* device = std::fopen("/dev/null", "rb");
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(RegularFileSize(device).has_value());
  EXPECT_FALSE(IsTerminal(device));
  std::fclose(device);
}

}  // namespace
}  // namespace Platform
