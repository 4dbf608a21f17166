#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct ShellRun {
  int status;
  std::string err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs a shell command line, keeping its exit status and what it wrote to stderr.
ShellRun Shell(const std::string& commandLine, const fs::path& errFile) {
  const std::string line = "{ " + commandLine + "; } >/dev/null 2>" + errFile.string() + " </dev/null";
  const int status = std::system(line.c_str());
  return ShellRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(errFile)};
}

// cmake --install puts the programs, the media and the desktop entry into a prefix; patinex and
// the framework's demo started from an unrelated folder find the installed media, and patinex
// keeps its masks beside them.
TEST(InstalledProgram, StartedElsewhereFindsTheInstalledMedia) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display";
  const fs::path folder = fs::temp_directory_path() / ("patinex_install_" + std::to_string(std::random_device{}()));
  const fs::path prefix = folder / "prefix", work = folder / "work", err = folder / "stderr.txt";
  fs::create_directories(work);
  ShellRun run = Shell(std::string(PATINEX_CMAKE) + " --install " + PATINEX_BINARY_DIR + " --prefix " + prefix.string(), err);
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path media = fs::canonical(prefix) / "share" / "patinex" / "media";
  EXPECT_TRUE(fs::exists(prefix / "bin" / "patinex-cli"));
  ASSERT_TRUE(fs::exists(prefix / "bin" / "patinex"));
  EXPECT_TRUE(fs::exists(media / "drawmesh.fx"));
  EXPECT_TRUE(fs::exists(media / "beethoven.obj"));
  const std::string entry = ReadText(prefix / "share" / "applications" / "patinex.desktop");
  EXPECT_NE(entry.find("\nExec=patinex\n"), std::string::npos) << entry;

  run = Shell("cd " + work.string() + " && " + (prefix / "bin" / "patinex").string() +
                  " -quitafterframe:2 -noerrormsgboxes",
              err);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("masks are written to " + media.string() + "\n"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("no media folder"), std::string::npos) << run.err;
  // The demo looks for its effect through the framework's media search.
  ASSERT_TRUE(fs::exists(media / "framework_demo.fx"));
  run = Shell("cd " + work.string() + " && " + (prefix / "bin" / "framework-demo").string() +
                  " -quitafterframe:2 -noerrormsgboxes",
              err);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_empty(work));  // nothing lands in the folder it was started from
  fs::remove_all(folder);
}

}  // namespace
