#include "app/recent_list.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform_os/temporary_file.h"

namespace fs = std::filesystem;

void RecentList::Load() {
  entries.clear();
  std::ifstream in(file);
  for (std::string line; entries.size() < limit && std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() != '/') continue;
    if (std::find(entries.begin(), entries.end(), line) == entries.end()) entries.push_back(line);
  }
}

void RecentList::Add(const std::string& path) {
  // A newline would split the entry into two lines of the file.
  if (path.empty() || path.find('\n') != std::string::npos) return;
  entries.erase(std::remove(entries.begin(), entries.end(), path), entries.end());
  entries.insert(entries.begin(), path);
  if (entries.size() > limit) entries.resize(limit);
}

bool RecentList::Save(std::string* why) const {
  std::error_code error;
  const fs::path parent = fs::path(file).parent_path();
  if (!parent.empty()) fs::create_directories(parent, error);
  if (error) {
    if (why) *why = "cannot make the folder " + parent.string() + ": " + error.message();
    return false;
  }
  Platform::TemporaryFile out(file);
  std::string problem;
  bool written = out.Create(&problem);
  for (size_t i = 0; written && i < entries.size(); ++i) {
    written = std::fputs(entries[i].c_str(), out.File()) >= 0 && std::fputc('\n', out.File()) != EOF;
    if (!written) problem = "writing the file failed";
  }
  if (written) written = out.Publish(&problem);
  if (!written && why) *why = "cannot write " + file + ": " + problem;
  return written;
}

std::vector<std::string> RecentList::Existing() const {
  std::vector<std::string> existing;
  for (const std::string& path : entries) {
    std::error_code error;
    if (fs::exists(path, error)) existing.push_back(path);
  }
  return existing;
}

std::string PatinexStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // A relative XDG_STATE_HOME is invalid and ignored.
  if (state != nullptr && state[0] == '/') return (fs::path(state) / "Patinex").string();
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return (fs::path(home) / ".local" / "state" / "Patinex").string();
}
