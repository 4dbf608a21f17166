#include "tools/cli/output_path.h"

#include <filesystem>
#include <system_error>

#include "platform_os/file_system.h"

namespace PatinexCli {

bool MakeParentFolder(const std::string& file, std::string* error) {
  const std::filesystem::path parent = std::filesystem::path(file).parent_path();
  std::error_code ignored;
  if (parent.empty() || std::filesystem::exists(parent, ignored)) return true;
  return Platform::MakeWritableFolder(parent.string(), error);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return (absolute.empty() ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

}  // namespace PatinexCli
