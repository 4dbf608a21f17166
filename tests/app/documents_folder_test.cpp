#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/documents_folder.h"

namespace fs = std::filesystem;

namespace {

// The documents line of a user-dirs file as the desktop's tool reads it: among comments and other
// folders, "$HOME" standing for home, an absolute folder as it is, the last line winning, a
// backslash keeping the character after it; anything else names no folder.
TEST(DocumentsFolder, IsReadFromTheUserDirsLinesAsTheShellWouldRead) {
  const std::string home = "/home/ada";
  const std::string text =
      "# XDG_DOCUMENTS_DIR=\"$HOME/Commented\"\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
      "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(DocumentsFolderIn(text, home), home + "/Dokumente");
  EXPECT_EQ(DocumentsFolderIn(text + "XDG_DOCUMENTS_DIR=\"/srv/papers/\"\n", home), "/srv/papers");
  EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"", home), home + "/My \"Docs\"");
  // "$HOME/" alone is the desktop's way of saying the user has no documents folder of its own.
  EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME/\"", home), home);
  EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"", home), "");
  EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"Documents\"", home), "");
  EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=$HOME/Unquoted", home), "");
  EXPECT_EQ(DocumentsFolderIn(text, ""), "");
}

class ScopedVariable {
public:
  ScopedVariable(const char* name, const std::string& value) : name(name) {
    if (const char* old = std::getenv(name)) previous = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (previous) {
      setenv(name, previous->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

private:
  const char* name;
  std::optional<std::string> previous;
};

// The default export folder is the documents folder the user's config names while it exists,
// else the home folder.
TEST(DocumentsFolder, TheDefaultExportFolderIsTheDocumentsFolderWhileItExistsElseHome) {
  const fs::path home = fs::temp_directory_path() /
                        ("patinex_documents_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const fs::path config = home / "settings";
  fs::create_directories(config);
  {
    std::ofstream(config / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
  }
  ScopedVariable homeVariable("HOME", home.string());
  ScopedVariable configVariable("XDG_CONFIG_HOME", config.string());
  EXPECT_EQ(DefaultExportFolder(), home.string());
  fs::create_directories(home / "Papers");
  EXPECT_EQ(DefaultExportFolder(), (home / "Papers").string());
  fs::remove_all(home);
}

}  // namespace
