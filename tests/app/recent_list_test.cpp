#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/recent_list.h"
#include "tests/support/x_input.h"

namespace fs = std::filesystem;

namespace {

class RecentListTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("patinex_recent_" + std::to_string(std::rand()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  std::string Made(const std::string& name) {
    const fs::path path = folder / name;
    std::ofstream(path) << "v 0 0 0\n";
    return path.string();
  }
  fs::path folder;
};

// Newest first; a path opened again moves to the front instead of appearing twice; beyond the
// limit the oldest goes; the next start reads the same list back.
TEST_F(RecentListTest, KeepsTheNewestFirstWithoutTwinsUpToTheLimit) {
  const std::string file = (folder / "state" / "recent-models").string();
  RecentList list(file, 3);
  for (const char* name : {"/m/a.obj", "/m/b.obj", "/m/c.obj", "/m/a.obj", "/m/d.obj"}) list.Add(name);
  EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/m/d.obj", "/m/a.obj", "/m/c.obj"}));
  std::string why;
  ASSERT_TRUE(list.Save(&why)) << why;
  EXPECT_EQ(TestSupport::ReadFile(file), "/m/d.obj\n/m/a.obj\n/m/c.obj\n");
  RecentList again(file, 3);
  again.Load();
  EXPECT_EQ(again.Entries(), list.Entries());

  // A hand-edited file: relative paths, blank lines and twins are not entries; the limit holds.
  std::ofstream(file) << "relative.obj\n\n/m/x.obj\r\n/m/x.obj\n/m/y.obj\n/m/z.obj\n/m/w.obj\n";
  again.Load();
  EXPECT_EQ(again.Entries(), (std::vector<std::string>{"/m/x.obj", "/m/y.obj", "/m/z.obj"}));
}

// Files deleted since are not offered, but stay in the list (the disk may come back).
TEST_F(RecentListTest, OffersOnlyFilesThatStillExist) {
  RecentList list((folder / "recent").string());
  const std::string kept = Made("kept.obj"), gone = Made("gone.glb");
  list.Add(kept);
  list.Add(gone);
  fs::remove(gone);
  EXPECT_EQ(list.Existing(), std::vector<std::string>{kept});
  EXPECT_EQ(list.Entries().size(), 2u);
}

// A list that cannot be written (here: the disk's space for it runs out half-way) says where
// and why; the list written before stays whole, and no temporary file is left beside it.
TEST_F(RecentListTest, IsWrittenWholeOrNotAtAll) {
  const std::string file = (folder / "recent").string();
  RecentList list(file);
  list.Add("/m/first.obj");
  std::string why;
  ASSERT_TRUE(list.Save(&why)) << why;
  for (char name = 'a'; name < 'k'; ++name) list.Add("/m/" + std::string(1000, name) + ".obj");
  rlimit limit{}, previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  limit = previous;
  limit.rlim_cur = 4096;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool saved = list.Save(&why);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(why.find("cannot write " + file + ": "), std::string::npos) << why;
  EXPECT_EQ(TestSupport::ReadFile(file), "/m/first.obj\n");
  size_t files = 0;
  for ([[maybe_unused]] const fs::directory_entry& entry : fs::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, 1u);
}

}  // namespace
