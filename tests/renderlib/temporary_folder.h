#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A folder of its own under the system's temporary folder for the files a test writes,
// removed with everything in it when the test ends.
class TemporaryFolder {
public:
  TemporaryFolder() {
    static std::atomic<int> serial{0};
    path = std::filesystem::temp_directory_path() /
           ("patinex_renderlib_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(path);
  }
  ~TemporaryFolder() { std::filesystem::remove_all(path); }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // Writes the bytes to name (which may hold subfolders) and returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::path file = path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file.string();
  }

  std::string Path(const std::string& name = "") const { return (path / name).string(); }

private:
  std::filesystem::path path;
};
