#include "renderlib/file_paths.h"

#include <algorithm>

namespace RenderLib {
namespace {

constexpr std::string_view kSeparators = "/\\";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string StripFilename(std::string_view path) {
  const size_t separator = path.find_last_of(kSeparators);
  if (separator == std::string_view::npos) return {};
  // A separator at the very start is the root and stays.
  return std::string(path.substr(0, separator == 0 ? 1 : separator));
}

std::string AppendPath(std::string path, std::string_view name, char separator) {
  if (name.empty()) return path;
  if (!path.empty() && !IsSeparator(path.back())) path += separator;
  if (name.front() == separator) name.remove_prefix(1);
  const size_t start = path.size();
  path += name;
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(start), path.end(), '\\', separator);
  return path;
}

std::string SetFileExtension(std::string path, std::string_view extension) {
  const size_t dot = path.find_last_of('.');
  const size_t separator = path.find_last_of(kSeparators);
  if (dot != std::string::npos && (separator == std::string::npos || separator < dot)) path.resize(dot);
  if (extension.empty() || extension.front() != '.') path += '.';
  path += extension;
  return path;
}

}  // namespace RenderLib
