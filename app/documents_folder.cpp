#include "app/documents_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The value of a line KEY="VALUE": shell quoting, where a backslash keeps the next character.
bool QuotedValue(const std::string& text, std::string* value) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  value->clear();
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '\\' && i + 2 < text.size()) ++i;
    value->push_back(text[i]);
  }
  return true;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string DocumentsFolderIn(const std::string& userDirsText, const std::string& home) {
  static const std::string kKey = "XDG_DOCUMENTS_DIR=";
  static const std::string kHome = "$HOME";
  std::istringstream lines(userDirsText);
  std::string folder;
  for (std::string line; std::getline(lines, line);) {
    line = Trimmed(line);
    std::string value;
    if (line.compare(0, kKey.size(), kKey) != 0 || !QuotedValue(line.substr(kKey.size()), &value)) continue;
    // The last line naming the folder wins, as when the shell reads the file.
    if (value.compare(0, kHome.size(), kHome) == 0 && (value.size() == kHome.size() || value[kHome.size()] == '/')) {
      folder = home.empty() ? std::string() : home + value.substr(kHome.size());
    } else {
      folder = value.empty() || value.front() != '/' ? std::string() : value;
    }
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string DefaultExportFolder() {
  const std::string home = Environment("HOME");
  std::string configHome = Environment("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  if (configHome.empty() || configHome.front() != '/') configHome = home.empty() ? std::string() : home + "/.config";
  if (!configHome.empty()) {
    std::ifstream file(configHome + "/user-dirs.dirs");
    std::ostringstream text;
    text << file.rdbuf();
    const std::string documents = DocumentsFolderIn(text.str(), home);
    std::error_code error;
    if (!documents.empty() && std::filesystem::is_directory(documents, error)) return documents;
  }
  return home;
}
