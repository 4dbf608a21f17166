#include "assetexport/step_masks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/assetexport/export_test_models.h"

namespace AssetExport {
namespace {

// Any bytes do for finding steps; the masks that are read must decode.
TEST(StepMasks, TheHighestCompleteStepAndWhatIsMissing) {
  AssetExportTest::TestFolder folder;
  const std::string jpeg = [] {
    std::ifstream in(std::string(PATINEX_SOURCE_DIR) + "/media/tex_patina.jpg", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  for (const char* name : {"mask_humidity02.jpg", "mask_dirt02.jpg", "mask_rust02.jpg", "mask_humidity07.jpg",
                           "mask_dirt07.jpg", "mask_rust100.png", "mask_dirt100.png", "mask_humidity100.png",
                           "mask_rust7.jpg", "notes_rust09.jpg"}) {
    folder.Write(name, jpeg);
  }
  std::string error;
  EXPECT_EQ(StepsWithMasks(folder.Path(), &error), (std::vector<int32_t>{2, 100}));

  StepMasks masks;
  // The PNG names hold JPEG bytes: the masks are told apart by their contents.
  ASSERT_TRUE(LoadStepMasks(folder.Path(), -1, &masks, &error)) << error;
  EXPECT_EQ(masks.step, 100);
  EXPECT_EQ(masks.spaces[0].rust.mimeType, "image/jpeg");
  EXPECT_EQ(masks.spaces[0].rust.grey.Width(), 1024u);
  EXPECT_EQ(masks.spaces[0].dirt.bytes.size(), jpeg.size());
  // The bake reads no humidity: its bytes ride along undecoded, but must be an image.
  EXPECT_TRUE(masks.spaces[0].humidity.grey.Empty());
  EXPECT_EQ(masks.spaces[0].humidity.bytes.size(), jpeg.size());
  EXPECT_EQ(masks.spaces[0].humidity.mimeType, "image/jpeg");
  folder.Write("mask_humidity100.png", "not a picture");
  EXPECT_FALSE(LoadStepMasks(folder.Path(), 100, &masks, &error));
  EXPECT_NE(error.find("mask_humidity100.png: neither a JPEG nor a PNG"), std::string::npos) << error;

  EXPECT_FALSE(LoadStepMasks(folder.Path(), 7, &masks, &error));
  EXPECT_NE(error.find("the rust mask of step 7 is missing"), std::string::npos) << error;
  folder.Write("mask_rust02.jpg", "not a picture");
  EXPECT_FALSE(LoadStepMasks(folder.Path(), 2, &masks, &error));
  EXPECT_NE(error.find("mask_rust02.jpg"), std::string::npos) << error;

  AssetExportTest::TestFolder empty;
  EXPECT_FALSE(LoadStepMasks(empty.Path(), -1, &masks, &error));
  EXPECT_NE(error.find("no step in"), std::string::npos) << error;
}

}  // namespace
}  // namespace AssetExport
