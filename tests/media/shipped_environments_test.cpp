#include <gtest/gtest.h>

#include <string>

#include "viewer/environment_catalog.h"
#include "viewer/environment_preparation.h"

namespace Viewer {
namespace {

// Every environment the picker offers reads, is a whole equirect picture, and has a main light
// above the horizon carrying light of its own: the studio's key box, the overcast's glow, the
// low sun.
TEST(ShippedEnvironments, EachReadsAndLightsFromAbove) {
  ASSERT_EQ(ShippedEnvironments().size(), 3u);
  for (const ShippedEnvironment& environment : ShippedEnvironments()) {
    SCOPED_TRACE(environment.displayName);
    EXPECT_EQ(ShippedEnvironmentFile(environment.displayName), environment.file);
    RadianceMap map;
    std::string error;
    ASSERT_TRUE(ReadRadianceMap(std::string(PATINEX_SOURCE_DIR "/media/") + environment.file, &map, &error)) << error;
    EXPECT_EQ(map.width, 2 * map.height);
    const PreparedEnvironment prepared = PrepareEnvironment(map, nullptr);
    EXPECT_GT(prepared.mainLightDirection.y, 0.1f);
    EXPECT_GT(prepared.mainLightColor.x + prepared.mainLightColor.y + prepared.mainLightColor.z, 0.0f);
  }
  EXPECT_EQ(ShippedEnvironmentFile("low_sun"), "environments/low_sun.hdr");
  EXPECT_EQ(ShippedEnvironmentFile("nowhere"), "");
}

}  // namespace
}  // namespace Viewer
