#include "framework/model_viewer_camera.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "tests/framework/fake_camera_input.h"

using namespace Platform;

namespace {

void ExpectNear(Float3 actual, Float3 expected, float tolerance = 1e-4f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

class ModelViewerCameraTest : public testing::Test {
protected:
  void Send(const WindowEvent& event) { camera.HandleEvent(nullptr, event); }
  void Press(MouseButton button, int x, int y) { Send(WindowEvent::Mouse(EventType::ButtonDown, {x, y}, {}, button)); }
  void Release(MouseButton button, int x, int y) { Send(WindowEvent::Mouse(EventType::ButtonUp, {x, y}, {}, button)); }
  void Move(int x, int y) { Send(WindowEvent::Mouse(EventType::MouseMove, {x, y})); }
  void Wheel(int delta) { Send(WindowEvent::WheelTurn(delta, {})); }
  void Look(Float3 eye, Float3 lookAt) {
    camera.SetView(&eye, &lookAt);
    camera.Update(0.02f);
  }

  FakeCameraInput input;
  CModelViewerCamera camera{input};
};

TEST_F(ModelViewerCameraTest, WheelNotchesZoomByATenthAtTheNextUpdateAndStopAtTheMinimum) {
  Look({0, 0, -5}, {0, 0, 0});
  Wheel(-120);  // no button is down: the wheel alone must wake Update
  EXPECT_FLOAT_EQ(camera.GetRadius(), 5.0f);
  camera.Update(0.02f);
  EXPECT_FLOAT_EQ(camera.GetRadius(), 5.5f);
  EXPECT_NEAR(Vec3Length(camera.GetEyePt() - camera.GetLookAtPt()), 5.5f, 1e-5f);
  EXPECT_EQ(camera.WheelDelta(), 0);

  Look({0, 0, -5}, {0, 0, 0});
  Wheel(120);
  camera.Update(0.02f);
  EXPECT_FLOAT_EQ(camera.GetRadius(), 4.5f);
  for (int notch = 0; notch < 40; ++notch) {
    Wheel(120);
    camera.Update(0.02f);
  }
  EXPECT_FLOAT_EQ(camera.GetRadius(), 1.0f);
}

TEST_F(ModelViewerCameraTest, MovementKeysMoveNothingButKeepUpdateBusyUntilReleased) {
  Look({0, 0, -5}, {0, 0, 0});
  // A new model centre shows in the world matrix only when Update does its work.
  camera.SetModelCenter({1, 0, 0});
  camera.Update(0.5f);
  EXPECT_FLOAT_EQ(camera.GetWorldMatrix().m[3][0], 0.0f);

  Send(WindowEvent::Key(EventType::KeyDown, 'W'));
  Send(WindowEvent::Key(EventType::KeyDown, 'W'));  // auto-repeat counts once
  Send(WindowEvent::Key(EventType::KeyDown, 'Z'));  // no action
  EXPECT_EQ(camera.KeysDown(), 1);
  camera.Update(0.5f);
  EXPECT_FLOAT_EQ(camera.GetWorldMatrix().m[3][0], -1.0f);
  ExpectNear(camera.GetEyePt(), {0, 0, -5});
  ExpectNear(camera.GetLookAtPt(), {0, 0, 0});

  Send(WindowEvent::Key(EventType::KeyUp, 'W'));
  // Releases of keys whose press went elsewhere (an edit box) must not count below zero.
  Send(WindowEvent::Key(EventType::KeyUp, 'W'));
  Send(WindowEvent::Key(EventType::KeyUp, 'A'));
  EXPECT_EQ(camera.KeysDown(), 0);
  EXPECT_EQ(camera.KeyState(kCameraMoveForward), 0x80);
  camera.SetModelCenter({2, 0, 0});
  camera.Update(0.5f);
  EXPECT_FLOAT_EQ(camera.GetWorldMatrix().m[3][0], -1.0f);  // idle again
}

TEST_F(ModelViewerCameraTest, SetViewSetsTheRadiusAndHomeReturnsToThatView) {
  const Float3 eye{2, 2, -1}, lookAt{0, 0, 0};  // 3 units away, off every axis
  Look(eye, lookAt);
  EXPECT_FLOAT_EQ(camera.GetRadius(), 3.0f);
  EXPECT_FLOAT_EQ(camera.GetMinimumRadius(), 1.0f);
  ExpectNear(camera.GetEyePt(), eye);

  camera.SetWindow(800, 600);
  Wheel(240);
  Press(MouseButton::Left, 400, 300);
  Move(500, 350);
  Press(MouseButton::Right, 400, 300);
  Move(300, 250);
  camera.Update(0.02f);
  Release(MouseButton::Left, 300, 250);
  Release(MouseButton::Right, 300, 250);
  camera.Update(0.02f);
  EXPECT_GT(Vec3Length(camera.GetEyePt() - eye), 0.5f);
  EXPECT_NE(camera.GetWorldMatrix().m[0][0], 1.0f);

  Send(WindowEvent::Key(EventType::KeyDown, VK_HOME));
  camera.Update(0.02f);
  Send(WindowEvent::Key(EventType::KeyUp, VK_HOME));
  EXPECT_FLOAT_EQ(camera.GetRadius(), 3.0f);
  ExpectNear(camera.GetEyePt(), eye);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(camera.GetWorldMatrix().m[r][c], r == c ? 1.0f : 0.0f, 1e-6f);
}

TEST_F(ModelViewerCameraTest, PressesOutsideTheActiveRectCaptureButSetNoButton) {
  camera.SetActiveRect({100, 100, 300, 300});
  Press(MouseButton::Left, 50, 50);
  EXPECT_EQ(input.captures, 1);
  EXPECT_EQ(camera.ButtonMask(), 0u);
  EXPECT_FALSE(camera.GetWorldArcBall().IsBeingDragged());
  Release(MouseButton::Left, 50, 50);
  EXPECT_EQ(input.releases, 1);

  // Inside the active rect, but outside the arc ball's smaller area.
  camera.SetWindow(50, 50);
  Press(MouseButton::Left, 200, 200);
  EXPECT_EQ(camera.ButtonMask(), kMouseLeftButton);
  EXPECT_FALSE(camera.GetWorldArcBall().IsBeingDragged());
  Release(MouseButton::Left, 200, 200);

  Press(MouseButton::Left, 120, 120);
  Press(MouseButton::Right, 120, 120);
  EXPECT_TRUE(camera.GetWorldArcBall().IsBeingDragged());
  EXPECT_TRUE(camera.GetViewArcBall().IsBeingDragged());
  Send(WindowEvent::LostCapture(0x77));  // another window took the mouse
  EXPECT_EQ(camera.ButtonMask(), 0u);
  EXPECT_FALSE(camera.IsMouseLButtonDown());
  EXPECT_FALSE(camera.GetWorldArcBall().IsBeingDragged());
  EXPECT_FALSE(camera.GetViewArcBall().IsBeingDragged());
}

TEST_F(ModelViewerCameraTest, HorizontalLeftDragTurnsTheModelAboutTheScreensVerticalAxis) {
  Look({0, 3, -4}, {0, 0, 0});  // looking down at the model
  camera.SetWindow(800, 600);
  const Matrix inverseView = MatrixInverse(camera.GetViewMatrix());
  const Float3 screenUp = Vec3TransformNormal({0, 1, 0}, inverseView);
  const Float3 screenRight = Vec3TransformNormal({1, 0, 0}, inverseView);
  const Float3 towardsViewer = Vec3TransformNormal({0, 0, 1}, inverseView);

  Press(MouseButton::Left, 400, 300);
  Move(500, 300);
  camera.Update(0.02f);
  const Matrix& world = camera.GetWorldMatrix();
  ExpectNear(Vec3TransformNormal(screenUp, world), screenUp);
  // The side facing the viewer follows the cursor to the right, by twice the arc dragged.
  const float arc = std::asin(100.0f / (0.9f * 400.0f));
  const Float3 front = Vec3TransformNormal(towardsViewer, world);
  EXPECT_NEAR(Vec3Dot(front, screenRight), std::sin(2 * arc), 1e-4f);
  EXPECT_NEAR(Vec3Dot(front, towardsViewer), std::cos(2 * arc), 1e-4f);

  // Further updates without motion keep the turn; it is not applied twice.
  Move(500, 300);
  camera.Update(0.02f);
  EXPECT_NEAR(Vec3Dot(Vec3TransformNormal(towardsViewer, camera.GetWorldMatrix()), screenRight), std::sin(2 * arc),
              1e-4f);
}

TEST_F(ModelViewerCameraTest, SeenFromItsFrontTheModelShowsPlusXOnTheRightAndTurnsItsFrontRightWithTheDrag) {
  Look({0, 0, 5}, {0, 0, 0});
  camera.SetWindow(800, 600);
  const auto screenX = [this](Float3 modelPoint) {
    const Matrix toClip = camera.GetWorldMatrix() * camera.GetViewMatrix() * camera.GetProjMatrix();
    return Vec3TransformCoord(modelPoint, toClip).x;
  };
  EXPECT_GT(screenX({1, 0, 0}), 0.0f);

  Press(MouseButton::Left, 400, 300);
  Move(500, 300);
  camera.Update(0.02f);
  const Float3 front = Vec3TransformNormal({0, 0, 1}, camera.GetWorldMatrix());
  EXPECT_GT(front.x, 0.2f);
  EXPECT_GT(screenX({0, 0, 1}), 0.0f);
}

// Depths after the divide of points on the model's bounding sphere, nearest and farthest.
void ExpectModelBetweenClipPlanes(const CModelViewerCamera& camera, Float3 centre, float radius) {
  const Matrix toClip = camera.GetWorldMatrix() * camera.GetViewMatrix() * camera.GetProjMatrix();
  const Float3 centreInWorld = Vec3TransformCoord(centre, camera.GetWorldMatrix());
  const Float3 towardsEye = Vec3Normalize(camera.GetEyePt() - centreInWorld);
  EXPECT_GT(Vec3Length(camera.GetEyePt() - centreInWorld), radius) << "the eye is inside the model";
  for (float side : {1.0f, -1.0f}) {
    // The model's point nearest to (or farthest from) the eye, back in model coordinates.
    const Float3 worldPoint = centreInWorld + towardsEye * (radius * side);
    const Float3 modelPoint = Vec3TransformCoord(worldPoint, MatrixInverse(camera.GetWorldMatrix()));
    const Float4 clip = Vec4Transform({modelPoint.x, modelPoint.y, modelPoint.z, 1}, toClip);
    const float depth = clip.z / clip.w;
    EXPECT_GT(clip.w, 0.0f);
    EXPECT_GT(depth, 0.0f) << "radius " << camera.GetRadius();
    EXPECT_LT(depth, 1.0f) << "radius " << camera.GetRadius();
  }
}

TEST_F(ModelViewerCameraTest, TinyAndHugeModelsStayBetweenTheClipPlanesAtAnyZoom) {
  const Float3 centre{1, 2, 3};
  for (float modelRadius : {0.05f, 100.0f}) {
    CModelViewerCamera viewer(input);
    viewer.SetProjection(0.785f, 4.0f / 3.0f, 0.1f, 2 * 1.7f * modelRadius);
    viewer.SetModelCenter(centre);
    viewer.SetModelRadius(modelRadius);
    const Float3 eye{0, 0, -5}, lookAt{0, 0, 0};
    viewer.SetView(&eye, &lookAt);
    viewer.Update(0.02f);
    ExpectModelBetweenClipPlanes(viewer, centre, modelRadius);
    for (int notch = 0; notch < 100; ++notch) {
      viewer.HandleEvent(nullptr, WindowEvent::WheelTurn(120, {}));
      viewer.Update(0.02f);
    }
    EXPECT_FLOAT_EQ(viewer.GetRadius(), 1.1f * modelRadius);
    ExpectModelBetweenClipPlanes(viewer, centre, modelRadius);
    for (int notch = 0; notch < 150; ++notch) {
      viewer.HandleEvent(nullptr, WindowEvent::WheelTurn(-120, {}));
      viewer.Update(0.02f);
    }
    EXPECT_GT(viewer.GetRadius(), 1000.0f * modelRadius);
    ExpectModelBetweenClipPlanes(viewer, centre, modelRadius);
    // A projection set from outside (a resize) is brought back to the model at the next frame.
    viewer.SetProjection(0.785f, 1.0f, 0.1f, 1.0f);
    viewer.Update(0.02f);
    ExpectModelBetweenClipPlanes(viewer, centre, modelRadius);
  }
}

}  // namespace
