#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/folder_listing.h"
#include "app/typed_path.h"

namespace fs = std::filesystem;

namespace {

class FolderListingTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("patinex_listing_" + std::to_string(std::rand()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(folder, error);
  }
  fs::path folder;
};

std::vector<std::string> Shown(const std::vector<FolderEntry>& entries) {
  std::vector<std::string> names;
  for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? "/" : ""));
  return names;
}

// Folders first, then the models the program reads whatever the case of their extension, each
// in name order regardless of case; other files, hidden entries and dangling links are left out.
TEST_F(FolderListingTest, ShowsFoldersThenModelFilesOnly) {
  for (const char* name : {"statue.GLB", "Bust.obj", "scene.gltf", "notes.txt", "photo.jpg", ".hidden.obj", "obj",
                           "model.obj.bak"}) {
    std::ofstream(folder / name) << "x";
  }
  fs::create_directories(folder / "zeta");
  fs::create_directories(folder / "Alpha.obj");  // a folder, whatever its name says
  fs::create_directories(folder / ".cache");
  fs::create_directory_symlink(folder / "zeta", folder / "link");
  fs::create_symlink(folder / "missing.obj", folder / "dangling.obj");
  std::vector<FolderEntry> entries;
  std::string why;
  ASSERT_TRUE(ListModelFolder(folder.string(), &entries, &why)) << why;
  EXPECT_EQ(Shown(entries),
            (std::vector<std::string>{"Alpha.obj/", "link/", "zeta/", "Bust.obj", "scene.gltf", "statue.GLB"}));

  EXPECT_FALSE(ListModelFolder((folder / "none").string(), &entries, &why));
  EXPECT_TRUE(entries.empty());
  EXPECT_NE(why.find("cannot read the folder " + (folder / "none").string() + ": "), std::string::npos) << why;
}

// A typed path is taken from the folder shown, or from home after "~"; what it names decides
// what Enter does with it.
TEST_F(FolderListingTest, TypedPathsAreReadAsTheUserMeansThem) {
  fs::create_directories(folder / "models");
  std::ofstream(folder / "models" / "Cup.OBJ") << "x";
  std::ofstream(folder / "readme.txt") << "x";
  const std::string here = folder.string(), home = "/nonexistent-home";
  EXPECT_EQ(ResolveTypedPath("  models/ ", here, home).kind, TypedPathKind::Folder);
  EXPECT_EQ(ResolveTypedPath("  models/ ", here, home).path, here + "/models");
  const TypedPath cup = ResolveTypedPath("models/../models/Cup.OBJ", here, home);
  EXPECT_EQ(cup.kind, TypedPathKind::ModelFile);
  EXPECT_EQ(cup.path, here + "/models/Cup.OBJ");
  EXPECT_EQ(ResolveTypedPath(here + "/readme.txt", "/", home).kind, TypedPathKind::OtherFile);
  EXPECT_EQ(ResolveTypedPath("nothing.obj", here, home).kind, TypedPathKind::Missing);
  EXPECT_EQ(ResolveTypedPath("~/x.obj", here, home).path, home + "/x.obj");
  EXPECT_EQ(ResolveTypedPath(" ", here, home).kind, TypedPathKind::Empty);
  EXPECT_EQ(ParentFolder(here + "/models/"), here);
  EXPECT_EQ(ParentFolder("/"), "/");
  EXPECT_EQ(ParentFolder("/top"), "/");
}

}  // namespace
