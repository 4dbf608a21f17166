#include "app/session_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "simulation/run_record.h"

namespace {

namespace fs = std::filesystem;

class SessionStore : public testing::Test {
protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("patinex_sessions_" + std::to_string(std::random_device{}()));
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    std::ofstream(root / "a" / "statue.glb") << "model";
    std::ofstream(root / "b" / "statue.glb") << "model";
  }
  void TearDown() override { fs::remove_all(root); }
  std::string Masks() const { return (root / "masks").string(); }
  fs::path root;
};

// Two files of one name in different folders keep their sessions apart; numbers go on past the
// highest there is, and only numbered folders count as sessions.
TEST_F(SessionStore, ModelsOfOneNameKeepApartAndNumbersGoOn) {
  const std::string first = (root / "a" / "statue.glb").string();
  const std::string second = (root / "b" / "statue.glb").string();
  EXPECT_NE(ModelSessionKey(first), ModelSessionKey(second));
  EXPECT_EQ(ModelSessionKey(first).rfind("statue-", 0), 0u) << ModelSessionKey(first);
  EXPECT_EQ(ModelSessionKey(first).size(), std::string("statue-").size() + 8);

  SessionListing made;
  std::string why;
  ASSERT_TRUE(MakeNextSession(Masks(), first, &made, &why)) << why;
  EXPECT_EQ(made.number, 1);
  fs::create_directories(fs::path(ModelSessionsFolder(Masks(), first)) / "7");
  fs::create_directories(fs::path(ModelSessionsFolder(Masks(), first)) / "08");  // no session name
  std::ofstream(fs::path(ModelSessionsFolder(Masks(), first)) / "9") << "a file, no session";
  ASSERT_TRUE(MakeNextSession(Masks(), first, &made, &why)) << why;
  EXPECT_EQ(made.number, 8);
  EXPECT_TRUE(ListSessions(Masks(), second).empty());

  // The record says how many whole steps a session holds and at which density; a step counts
  // while its masks are there.
  Simulation::RunRecord record;
  record.identity.density = 40;
  for (const int32_t step : {0, 1, 2, 4}) record.steps.push_back({step, 500, std::nullopt, false, {}});
  for (const char* name : {"mask_dirt00.jpg", "mask_rust00.jpg", "mask_humidity00.jpg", "mask_dirt01.jpg",
                           "mask_rust01.jpg", "mask_humidity01.jpg", "mask_dirt02.jpg", "mask_rust02.jpg"}) {
    std::ofstream(fs::path(made.folder) / name) << "mask";
  }
  ASSERT_TRUE(Simulation::WriteRunRecord(made.folder, record, &why)) << why;
  const std::vector<SessionListing> listed = ListSessions(Masks(), first);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].number, 1);
  EXPECT_EQ(listed[2].number, 8);
  EXPECT_EQ(listed[2].steps, 2);  // step 3 lacks a mask, step 5 lies past a gap
  EXPECT_EQ(listed[2].density, 40);
  EXPECT_EQ(SessionLabel(listed[2]), "Session 8 \xC2\xB7 2 steps \xC2\xB7 density 40");
  EXPECT_EQ(MostRecentSession(listed), 2);
}

// Deleting takes regular files only: a folder holding a folder or a link is left whole, and why
// said; a session of files alone goes whole.
TEST_F(SessionStore, DeletingTakesTheSessionsFilesAndNothingElse) {
  const fs::path session = root / "masks" / "1";
  fs::create_directories(session / "kept");
  std::ofstream(session / "mask_dirt00.jpg") << "mask";
  std::ofstream(root / "outside.txt") << "not the session's";
  fs::create_symlink(root / "outside.txt", session / "link.txt");
  std::string why;
  EXPECT_FALSE(DeleteSessionFolder(session.string(), &why));
  EXPECT_NE(why.find(session.string()), std::string::npos) << why;
  EXPECT_TRUE(fs::exists(session / "mask_dirt00.jpg"));
  EXPECT_TRUE(fs::exists(session / "kept"));
  EXPECT_TRUE(fs::exists(root / "outside.txt"));

  fs::remove(session / "kept");
  EXPECT_FALSE(DeleteSessionFolder(session.string(), &why));  // the link alone keeps it
  EXPECT_TRUE(fs::exists(root / "outside.txt"));
  fs::remove(session / "link.txt");
  std::ofstream(session / "patinex_run.json") << "{}";
  EXPECT_TRUE(DeleteSessionFolder(session.string(), &why)) << why;
  EXPECT_FALSE(fs::exists(session));
}

}  // namespace
