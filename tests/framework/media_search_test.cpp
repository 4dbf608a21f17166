#include "framework/media_search.h"

#include <gtest/gtest.h>

#include <string>

#include "platform_os/media_folder.h"

namespace {

TEST(FrameworkFindMediaFile, CopiesWhatTheMediaSearchFindsWithinTheRoomGiven) {
  char destination[512];
  EXPECT_EQ(FrameworkFindMediaFile(destination, 512, "media\\SPLAT.png"), Platform::kOk);
  EXPECT_EQ(destination, Platform::FindMediaFile("media/SPLAT.png"));

  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, ""), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, nullptr), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(nullptr, 64, "a.fx"), Platform::kInvalidArgument);
  EXPECT_EQ(FrameworkFindMediaFile(destination, 9, "a.fx"), Platform::kInvalidArgument);
  // Found, but the path does not fit.
  char small[12];
  EXPECT_EQ(FrameworkFindMediaFile(small, 12, "SPLAT.png"), kFrameworkBufferTooSmall);
  EXPECT_STREQ(small, "");
  // Found nowhere: the name comes back as it was given, cut to fit, whatever its length.
  EXPECT_EQ(FrameworkFindMediaFile(small, 12, "no_such_media_file_anywhere.fx"), kFrameworkMediaNotFound);
  EXPECT_STREQ(small, "no_such_med");
  EXPECT_EQ(FrameworkFindMediaFile(destination, 64, "media\\nowhere_3141.fx"), kFrameworkMediaNotFound);
  EXPECT_STREQ(destination, "media\\nowhere_3141.fx");
}

}  // namespace
