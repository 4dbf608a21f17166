#include "shipped_media/shipped_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ShippedMedia {
namespace {

namespace fs = std::filesystem;

TEST(ShippedFiles, EveryNamedFileIsFoundInTheOneShippedFolder) {
  const std::string folder = FindShippedFolder();
  ASSERT_FALSE(folder.empty()) << "no " << kMeshEffect << " was found";
  for (const char* name : {kMeshEffect, kPointEffect, kSplat, kBronzeTexture, kBronzeNormalTexture, kPatinaTexture,
                           kPatinaNormalTexture}) {
    const std::string found = FindShippedFile(name);
    ASSERT_FALSE(found.empty()) << name;
    EXPECT_TRUE(fs::equivalent(found, ShippedFileIn(folder, name))) << name << " found at " << found;
  }
}

TEST(ShippedFiles, NoFolderGivesNoPath) {
  EXPECT_EQ(ShippedFileIn("", kSplat), "");
  EXPECT_EQ(ShippedFileIn("media", kSplat), (fs::path("media") / kSplat).string());
}

}  // namespace
}  // namespace ShippedMedia
