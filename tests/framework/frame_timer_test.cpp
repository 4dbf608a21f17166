#include "framework/frame_timer.h"

#include <gtest/gtest.h>

#include "framework/pause_counters.h"

namespace {

// A hand-driven clock of 1000 ticks a second.
int64_t fakeTicks = 0;
int64_t FakeCounter() { return fakeTicks; }

class FrameTimerTest : public testing::Test {
protected:
  FrameTimerTest() {
    fakeTicks = 5000;
    timer.Reset();
  }
  FrameTimer timer{&FakeCounter, 1000};
};

TEST_F(FrameTimerTest, MeasuresTimeAndElapsedTimeAndStandsStillWhileStopped) {
  fakeTicks += 250;
  FrameTime frame = timer.NextFrame(false, 0.0f);
  EXPECT_DOUBLE_EQ(frame.time, 0.25);
  EXPECT_FLOAT_EQ(frame.elapsed, 0.25f);
  EXPECT_DOUBLE_EQ(frame.absoluteTime, 5.25);

  timer.Stop();
  fakeTicks += 4000;
  frame = timer.NextFrame(false, 0.0f);
  EXPECT_DOUBLE_EQ(frame.time, 0.25);
  EXPECT_FLOAT_EQ(frame.elapsed, 0.0f);

  timer.Start();  // the stopped stretch is not counted
  fakeTicks += 100;
  frame = timer.NextFrame(false, 0.0f);
  EXPECT_NEAR(frame.time, 0.35, 1e-9);
  EXPECT_FLOAT_EQ(frame.elapsed, 0.1f);
}

TEST_F(FrameTimerTest, ElapsedTimeIsNeverNegative) {
  fakeTicks -= 300;  // a counter that stepped back
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 0.0f);
}

TEST_F(FrameTimerTest, AConstantFrameTimeAdvancesEveryFrameByTheConstantUnlessStopped) {
  for (int i = 1; i <= 3; ++i) {
    fakeTicks += 1000;  // whatever really passes
    const FrameTime frame = timer.NextFrame(true, 0.0333f);
    EXPECT_FLOAT_EQ(frame.elapsed, 0.0333f);
    EXPECT_NEAR(frame.time, 0.0333 * i, 1e-6);
  }
  timer.Stop();
  const FrameTime stopped = timer.NextFrame(true, 0.0333f);
  EXPECT_FLOAT_EQ(stopped.elapsed, 0.0f);
  EXPECT_NEAR(stopped.time, 0.0999, 1e-6);
}

TEST(PauseCounters, EachReasonMustGoAndCountersNeverGoBelowZero) {
  PauseCounters pauses;
  pauses.Pause(false, false);  // nothing to undo: stays at zero
  EXPECT_FALSE(pauses.TimePaused());
  pauses.Pause(true, true);
  pauses.Pause(true, false);  // time twice; rendering once, then undone
  EXPECT_TRUE(pauses.TimePaused());
  EXPECT_FALSE(pauses.RenderingPaused());
  pauses.Pause(false, true);
  EXPECT_TRUE(pauses.TimePaused());
  EXPECT_TRUE(pauses.RenderingPaused());
  pauses.Pause(false, false);
  pauses.Pause(false, false);
  EXPECT_FALSE(pauses.TimePaused());
  EXPECT_FALSE(pauses.RenderingPaused());
  pauses.Pause(true, true);  // one pause after the underflow attempts is a real pause
  EXPECT_TRUE(pauses.TimePaused());
}

}  // namespace
