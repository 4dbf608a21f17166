#include "framework/arc_ball.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/framework/fake_camera_input.h"

using namespace Platform;

TEST(ArcBall, TakesTheForegroundSizeOrNothingWithoutAWindow) {
  FakeCameraInput input;
  EXPECT_EQ(ArcBall(input).Width(), 0);
  const ArcBall empty(input);
  const Float3 v = empty.ScreenToVector(10, 10);
  EXPECT_EQ(v.z, 1.0f);  // no NaN from an area of no size

  input.foregroundWidth = 640;
  input.foregroundHeight = 480;
  const ArcBall ball(input);
  EXPECT_EQ(ball.Width(), 640);
  EXPECT_EQ(ball.Height(), 480);
  EXPECT_FLOAT_EQ(ball.Radius(), 0.9f);
}

TEST(ArcBall, ScreenToVectorIsTheSphereInsideTheRadiusAndTheRimBeyond) {
  FakeCameraInput input;
  ArcBall ball(input);
  ball.SetOffset(100, 50);
  ball.SetWindow(201, 101, 0.5f);  // odd sizes: the centre is at offset + size / 2, rounded down

  const Float3 centre = ball.ScreenToVector(200, 100);
  EXPECT_FLOAT_EQ(centre.x, 0.0f);
  EXPECT_FLOAT_EQ(centre.y, 0.0f);
  EXPECT_FLOAT_EQ(centre.z, 1.0f);

  // Half-way to the rim to the right: +x in view space, z (towards the viewer) completes the
  // unit sphere.
  const Float3 inside = ball.ScreenToVector(200 + 201 * 0.5f * 0.5f * 0.5f, 100);
  EXPECT_FLOAT_EQ(inside.x, 0.5f);
  EXPECT_NEAR(inside.z, std::sqrt(0.75f), 1e-6f);

  // Right of and below the ball: +x and, window rows running down, -y.
  const Float3 beyond = ball.ScreenToVector(500, 400);
  EXPECT_EQ(beyond.z, 0.0f);
  EXPECT_NEAR(beyond.x * beyond.x + beyond.y * beyond.y, 1.0f, 1e-6f);
  EXPECT_GT(beyond.x, 0.0f);
  EXPECT_LT(beyond.y, 0.0f);
}

TEST(ArcBall, DragsOnlyFromInsideItsAreaAndTurnsByTwiceTheArc) {
  FakeCameraInput input;
  ArcBall ball(input);
  ball.SetOffset(10, 10);
  ball.SetWindow(100, 100, 1.0f);
  ball.OnBegin(110, 50);  // one past the right edge
  EXPECT_FALSE(ball.IsBeingDragged());
  ball.OnMove(20, 50);
  EXPECT_FLOAT_EQ(ball.GetQuatNow().w, 1.0f);

  ball.OnBegin(60, 60);
  ASSERT_TRUE(ball.IsBeingDragged());
  ball.OnMove(85, 60);  // from the centre half-way to the rim on the right: a third of a turn
  const Float3 front = Vec3TransformNormal({0, 0, 1}, ball.GetRotationMatrix());
  // The side facing the viewer follows the cursor to the right.
  EXPECT_NEAR(front.x, std::sin(2 * std::asin(0.5f)), 1e-5f);
  EXPECT_NEAR(front.z, std::cos(2 * std::asin(0.5f)), 1e-5f);
  ball.OnMove(110, 60);  // on to the rim: a half turn about the vertical
  const Float3 turned = Vec3TransformNormal({0, 0, 1}, ball.GetRotationMatrix());
  EXPECT_NEAR(turned.z, -1.0f, 1e-5f);
  EXPECT_NEAR(Vec3TransformNormal({0, 1, 0}, ball.GetRotationMatrix()).y, 1.0f, 1e-5f);
  ball.OnEnd();
  ball.OnMove(60, 60);
  EXPECT_NEAR(Vec3TransformNormal({0, 0, 1}, ball.GetRotationMatrix()).z, -1.0f, 1e-5f);

  ball.Reset();
  EXPECT_FLOAT_EQ(ball.GetRotationMatrix().m[2][2], 1.0f);
  EXPECT_FLOAT_EQ(ball.Radius(), 1.0f);
}
