#include "viewer/look_texture_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imagelib/jpeg_writer.h"
#include "tests/renderlib/temporary_folder.h"
#include "tests/viewer/hidden_device.h"

namespace Viewer {
namespace {

class LookTextureCacheTest : public HiddenDevice {};

TEST_F(LookTextureCacheTest, LoadsAFileOnceByWhicheverNameAndNamesOneThatIsMissing) {
  TemporaryFolder media;
  const uint8_t rgb[3 * 4] = {200, 100, 50, 200, 100, 50, 200, 100, 50, 200, 100, 50};
  ASSERT_TRUE(ImageLib::WriteJpegFile(media.Path("shipped.jpg").c_str(), rgb, 2, 2, 90));
  media.Write("looks/.keep", "");
  ASSERT_TRUE(ImageLib::WriteJpegFile(media.Path("looks/beside.jpg").c_str(), rgb, 2, 2, 90));

  LookTextureCache cache;
  std::string problems;
  Platform::ShaderResourceView* shipped = cache.Get(*device, media.Path(), "shipped.jpg", &problems);
  ASSERT_NE(shipped, nullptr) << problems;
  // The same file as a path, and again by name (a look chosen again): no second texture.
  EXPECT_EQ(cache.Get(*device, media.Path(), media.Path("shipped.jpg"), &problems), shipped);
  EXPECT_EQ(cache.Get(*device, media.Path(), "shipped.jpg", &problems), shipped);
  EXPECT_EQ(cache.Count(), 1u);
  // A shipped look's texture lies in looks/ beside the shipped looks.
  Platform::ShaderResourceView* beside = cache.Get(*device, media.Path(), "beside.jpg", &problems);
  EXPECT_NE(beside, nullptr);
  EXPECT_NE(beside, shipped);
  EXPECT_EQ(problems, "");

  EXPECT_EQ(cache.Get(*device, media.Path(), "missing.jpg", &problems), nullptr);
  EXPECT_NE(problems.find("missing.jpg"), std::string::npos) << problems;
  media.Write("broken.jpg", "not a picture");
  problems.clear();
  EXPECT_EQ(cache.Get(*device, media.Path(), "broken.jpg", &problems), nullptr);
  EXPECT_NE(problems.find("broken.jpg"), std::string::npos) << problems;
  EXPECT_EQ(cache.Count(), 2u);
}

}  // namespace
}  // namespace Viewer
