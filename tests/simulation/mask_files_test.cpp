#include "simulation/mask_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace Simulation {
namespace {

namespace fs = std::filesystem;

TEST(MaskFileName, CarriesTheStepWithAtLeastTwoDigitsInTheChosenFolder) {
  EXPECT_EQ(MaskFileName(nullptr, MaskChannel::kHumidity, 0), "media/mask_humidity00.jpg");
  EXPECT_EQ(MaskFileName("out", MaskChannel::kRust, 7), "out/mask_rust07.jpg");
  EXPECT_EQ(MaskFileName("out/", MaskChannel::kDirt, 123), "out/mask_dirt123.jpg");
  EXPECT_EQ(MaskFileName("", MaskChannel::kDirt, 5), "mask_dirt05.jpg");
}

TEST(MaskFileName, IsReadBackAndNothingElseIsTakenForAMask) {
  for (const char* name : {"mask_dirt00.jpg", "mask_humidity07.jpg", "mask_rust123.png"})
    EXPECT_TRUE(ParseMaskFileName(name, nullptr, nullptr)) << name;
  for (const char* name : {"mask_dirt0.jpg", "mask_dirt00.jpeg", "mask_dust00.jpg", "mask_dirt00.jpg.tmp", "tex_base.jpg"})
    EXPECT_FALSE(ParseMaskFileName(name, nullptr, nullptr)) << name;
  MaskChannel channel = MaskChannel::kHumidity;
  int32_t step = -1;
  ASSERT_TRUE(ParseMaskFileName(fs::path(MaskFileName("out", MaskChannel::kRust, 1234, kMaskPng)).filename().string(), &channel, &step));
  EXPECT_EQ(channel, MaskChannel::kRust);
  EXPECT_EQ(step, 1234);
}

TEST(MaskFileName, NamesTheSpacesPastTheFirstAndReadsThemBack) {
  EXPECT_EQ(MaskFileName("out", MaskChannel::kRust, 7, kMaskJpeg, 0), "out/mask_rust07.jpg");
  EXPECT_EQ(MaskFileName("out", MaskChannel::kDirt, 7, kMaskPng, 12), "out/mask_dirt07_space12.png");
  int32_t step = -1, space = -1;
  ASSERT_TRUE(ParseMaskFileName("mask_humidity03_space2.jpg", nullptr, &step, &space));
  EXPECT_EQ(step, 3);
  EXPECT_EQ(space, 2);
  ASSERT_TRUE(ParseMaskFileName("mask_humidity03.jpg", nullptr, &step, &space));
  EXPECT_EQ(space, 0);
  for (const char* name : {"mask_dirt03_space.jpg", "mask_dirt03_space0.jpg", "mask_dirt03_space01.jpg", "mask_dirt03_spacex.jpg"})
    EXPECT_FALSE(ParseMaskFileName(name, nullptr, nullptr)) << name;
}

}  // namespace
}  // namespace Simulation
