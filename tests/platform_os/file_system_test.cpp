#include "platform_os/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

TEST(FileSystem, OnlyRegularFilesAreRead) {
  const fs::path top = fs::temp_directory_path() / ("patinex_reads_" + std::to_string(std::random_device{}()));
  fs::create_directories(top);
  std::ofstream(top / "twelve") << "twelve bytes";
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadRegularFile((top / "twelve").string(), bytes, 100, &error)) << error;
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "twelve bytes");
  EXPECT_TRUE(IsReadableRegularFile((top / "twelve").string(), &error));
  EXPECT_FALSE(ReadRegularFile((top / "twelve").string(), bytes, 11, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_TRUE(bytes.empty());

  // Refused unread, and without waiting for a FIFO's writer.
  ASSERT_EQ(::mkfifo((top / "fifo").c_str(), 0600), 0);
  const std::pair<std::string, const char*> refused[] = {
      {"/dev/zero", "character device"}, {(top / "fifo").string(), "FIFO"}, {top.string(), "folder"}};
  for (const auto& [path, kind] : refused) {
    EXPECT_FALSE(ReadRegularFile(path, bytes, UINT64_MAX, &error)) << path;
    EXPECT_NE(error.find(std::string("is not a regular file (it is a ") + kind), std::string::npos) << error;
    EXPECT_FALSE(IsReadableRegularFile(path, &error)) << path;
  }
  EXPECT_FALSE(ReadRegularFile((top / "missing").string(), bytes, 100, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

  // A dangling link as a folder to make says where it points.
  fs::create_symlink(top / "gone", top / "link");
  EXPECT_FALSE(MakeWritableFolder((top / "link").string(), &error));
  EXPECT_NE(error.find("symbolic link to " + (top / "gone").string() + ", which does not exist"), std::string::npos)
      << error;
  fs::remove_all(top);

  std::FILE* device = std::fopen("/dev/null", "rb");
  ASSERT_NE(device, nullptr);
  EXPECT_FALSE(IsTerminal(device));
  std::fclose(device);
}

}  // namespace
}  // namespace Platform
