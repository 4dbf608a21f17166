#include "framework/frame_schedule.h"

#include <gtest/gtest.h>

namespace {

TEST(FrameSchedule, OwesAFrameAtStartAfterANowRequestAndFromTheEarliestTimeAskedFor) {
  FrameSchedule schedule;
  EXPECT_TRUE(schedule.IsDue(100.0));  // the first frame
  schedule.FrameStarted();
  EXPECT_FALSE(schedule.IsDue(100.0));
  EXPECT_EQ(schedule.WaitMilliseconds(100.0), -1);  // nothing owed: wait for a message

  schedule.RequestAt(100.5);
  schedule.RequestAt(100.25);
  schedule.RequestAt(101.0);  // later than the earliest: changes nothing
  EXPECT_FALSE(schedule.IsDue(100.2499));
  EXPECT_TRUE(schedule.IsDue(100.25));
  // Rounded up: a wait never ends just short of the time, which would spin.
  EXPECT_EQ(schedule.WaitMilliseconds(100.2491), 1);
  EXPECT_EQ(schedule.WaitMilliseconds(100.0), 250);
  EXPECT_EQ(schedule.WaitMilliseconds(100.3), 0);

  schedule.RequestNow();
  EXPECT_TRUE(schedule.IsDue(100.0));
  EXPECT_EQ(schedule.WaitMilliseconds(100.0), 0);
  // A frame starts with nothing asked for, timed requests included.
  schedule.FrameStarted();
  EXPECT_FALSE(schedule.IsDue(200.0));
  EXPECT_EQ(schedule.WaitMilliseconds(200.0), -1);
}

}  // namespace
