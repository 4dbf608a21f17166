#include "framework/model_viewer_camera.h"

#include <algorithm>
#include <cmath>

using namespace Platform;

namespace {

// With a model radius R the camera keeps its eye outside a sphere of 1.1 R about the model
// centre, and the clip planes hug the padded sphere of 1.05 R seen from the current distance r:
//   near = r - 1.05 R, but at least r / 100 and at most r / 2,
//   far  = r + 1.05 R, but at least 1.5 r (and never past the largest float).
// Near can thus never reach past the model's front (r - R), far never falls short of its back
// (r + R), and far / near stays small (3 once r is large) so depth keeps its precision for a
// model of any size and at any zoom.
constexpr float kClosestRadius = 1.1f;
constexpr float kClipPadding = 1.05f;

constexpr uint32_t kButtonBits = kMouseLeftButton | kMouseMiddleButton | kMouseRightButton;

}  // namespace

CModelViewerCamera::CModelViewerCamera(CameraInput& cameraInput)
    : CBaseCamera(cameraInput),
      worldArcBall(cameraInput),
      viewArcBall(cameraInput),
      modelLastRotation(MatrixIdentity()),
      modelRotation(MatrixIdentity()),
      world(MatrixIdentity()),
      cameraLastRotation(MatrixIdentity()) {
  // The movement keys do nothing here: the camera stays on its orbit.
  enablePositionMovement = false;
}

bool CModelViewerCamera::HandleEvent(Window* window, const WindowEvent& event) {
  const bool took = CBaseCamera::HandleEvent(window, event);
  const int x = event.position.x;
  const int y = event.position.y;

  uint32_t pressed = 0, released = 0;
  const uint32_t button = event.button == MouseButton::Left     ? kMouseLeftButton
                          : event.button == MouseButton::Middle ? kMouseMiddleButton
                          : event.button == MouseButton::Right  ? kMouseRightButton
                                                                : 0;
  if (event.type == EventType::ButtonDown || event.type == EventType::DoubleClick) pressed = button;
  if (event.type == EventType::ButtonUp) released = button;

  if (pressed & rotateModelButtonMask) worldArcBall.OnBegin(x, y);
  if (pressed & rotateCameraButtonMask) viewArcBall.OnBegin(x, y);
  if (event.type == EventType::MouseMove) {
    worldArcBall.OnMove(x, y);
    viewArcBall.OnMove(x, y);
    dragSinceLastUpdate = true;
    return took;
  }
  if (released & rotateModelButtonMask) worldArcBall.OnEnd();
  if (released & rotateCameraButtonMask) viewArcBall.OnEnd();
  if (event.type == EventType::CaptureLost && event.capturedBy != input.WindowHandle(window)) {
    if (rotateModelButtonMask & kButtonBits) worldArcBall.OnEnd();
    if (rotateCameraButtonMask & kButtonBits) viewArcBall.OnEnd();
  }
  if (pressed || released || event.type == EventType::Wheel) dragSinceLastUpdate = true;
  return took;
}

void CModelViewerCamera::Update(float elapsedSeconds) {
  if (IsKeyDown(keyStates[kCameraReset])) Reset();
  if (!dragSinceLastUpdate && keysDown == 0) {
    // Someone may have set a projection since (a resize does): keep the planes on the model.
    FitClipPlanesToModel();
    return;
  }
  dragSinceLastUpdate = false;

  GetInput(enablePositionMovement, currentButtonMask != 0, true);
  UpdateVelocity(elapsedSeconds);
  const Float3 positionDelta = velocity * elapsedSeconds;

  if (wheelDelta != 0 && zoomButtonMask == kMouseWheel) {
    // A notch of 120 units takes a tenth off the radius, or adds one.
    radius -= static_cast<float>(wheelDelta) * radius * 0.1f / 120.0f;
  }
  if (modelRadius > 0.0f) minimumRadius = modelRadius * kClosestRadius;
  radius = std::min(radius, maximumRadius);
  radius = std::max(radius, minimumRadius);
  wheelDelta = 0;

  const Matrix cameraRotation = MatrixInverse(viewArcBall.GetRotationMatrix());
  const Float3 worldUp = Vec3TransformCoord({0.0f, 1.0f, 0.0f}, cameraRotation);
  const Float3 worldAhead = Vec3TransformCoord({0.0f, 0.0f, -1.0f}, cameraRotation);
  const Float3 worldPositionDelta = Vec3TransformCoord(positionDelta, cameraRotation);

  lookAt += worldPositionDelta;
  if (clipToBoundaries) {
    lookAt.x = std::clamp(lookAt.x, minBoundary.x, maxBoundary.x);
    lookAt.y = std::clamp(lookAt.y, minBoundary.y, maxBoundary.y);
    lookAt.z = std::clamp(lookAt.z, minBoundary.z, maxBoundary.z);
  }
  eye = lookAt - worldAhead * radius;
  view = MatrixLookAtRH(eye, lookAt, worldUp);

  Matrix inverseView = MatrixInverse(view);
  inverseView.m[3][0] = inverseView.m[3][1] = inverseView.m[3][2] = 0.0f;
  const Matrix modelLastRotationInverse = MatrixInverse(modelLastRotation);
  const Matrix modelRotationStep = worldArcBall.GetRotationMatrix();
  // The arc ball's step happens in view space, so the model turns about axes fixed to the
  // screen whatever the camera's direction.
  modelRotation = modelRotation * (view * modelLastRotationInverse * modelRotationStep * inverseView);

  if (viewArcBall.IsBeingDragged() && attachCameraToModel && !IsKeyDown(keyStates[kCameraControlDown])) {
    modelRotation = modelRotation * (MatrixInverse(cameraLastRotation) * cameraRotation);
  }
  cameraLastRotation = cameraRotation;
  modelLastRotation = modelRotationStep;

  // Products of many small steps drift away from a rotation; pull the rows back square.
  Float3 xAxis{modelRotation.m[0][0], modelRotation.m[0][1], modelRotation.m[0][2]};
  Float3 zAxis{modelRotation.m[2][0], modelRotation.m[2][1], modelRotation.m[2][2]};
  xAxis = Vec3Normalize(xAxis);
  const Float3 yAxis = Vec3Normalize(Vec3Cross(zAxis, xAxis));
  zAxis = Vec3Cross(xAxis, yAxis);
  const Float3 rows[3] = {xAxis, yAxis, zAxis};
  for (int row = 0; row < 3; ++row) {
    modelRotation.m[row][0] = rows[row].x;
    modelRotation.m[row][1] = rows[row].y;
    modelRotation.m[row][2] = rows[row].z;
  }

  modelRotation.m[3][0] = lookAt.x;
  modelRotation.m[3][1] = lookAt.y;
  modelRotation.m[3][2] = lookAt.z;
  world = MatrixTranslation(-modelCentre.x, -modelCentre.y, -modelCentre.z) * modelRotation;

  FitClipPlanesToModel();
}

void CModelViewerCamera::FitClipPlanesToModel() {
  if (!(modelRadius > 0.0f)) return;
  const float padded = modelRadius * kClipPadding;
  const float fittedNear = std::clamp(radius - padded, radius * 0.01f, radius * 0.5f);
  const float fittedFar = std::min(radius + std::max(padded, radius * 0.5f), FLT_MAX);
  if (fittedNear != nearPlane || fittedFar != farPlane) {
    CBaseCamera::SetProjection(fieldOfView, aspect, fittedNear, fittedFar);
  }
}

void CModelViewerCamera::SetProjection(float newFieldOfView, float newAspect, float newNearPlane, float newFarPlane) {
  CBaseCamera::SetProjection(newFieldOfView, newAspect, newNearPlane, newFarPlane);
  FitClipPlanesToModel();
}

void CModelViewerCamera::Reset() {
  // The arc balls go first: SetView turns the view arc ball to the default view, and
  // resetting it afterwards would leave the camera looking along +z whatever the default eye.
  worldArcBall.Reset();
  viewArcBall.Reset();
  SetView(&defaultEye, &defaultLookAt);
  world = MatrixIdentity();
  modelRotation = MatrixIdentity();
  modelLastRotation = MatrixIdentity();
  cameraLastRotation = MatrixIdentity();
  radius = defaultRadius;
}

void CModelViewerCamera::SetView(const Float3* newEye, const Float3* newLookAt) {
  if (!newEye || !newLookAt) return;
  CBaseCamera::SetView(newEye, newLookAt);
  const Matrix rotation = MatrixLookAtRH(eye, lookAt, {0.0f, 1.0f, 0.0f});
  viewArcBall.SetQuatNow(QuaternionRotationMatrix(rotation));
  radius = defaultRadius = Vec3Length(lookAt - eye);
  minimumRadius = 1.0f;
  maximumRadius = FLT_MAX;
  dragSinceLastUpdate = true;
}

void CModelViewerCamera::SetActiveRect(const Rect& rect) {
  CBaseCamera::SetActiveRect(rect);
  worldArcBall.SetOffset(rect.left, rect.top);
  viewArcBall.SetOffset(rect.left, rect.top);
  SetWindow(rect.right - rect.left, rect.bottom - rect.top, 0.9f);
}

void CModelViewerCamera::SetWindow(int width, int height, float arcBallRadius) {
  worldArcBall.SetWindow(width, height, arcBallRadius);
  viewArcBall.SetWindow(width, height, arcBallRadius);
}

void CModelViewerCamera::SetButtonMasks(uint32_t rotateModel, uint32_t zoom, uint32_t rotateCamera) {
  rotateModelButtonMask = rotateModel;
  zoomButtonMask = zoom;
  rotateCameraButtonMask = rotateCamera;
}

void CModelViewerCamera::SetRadius(float newDefaultRadius, float newMinimumRadius, float newMaximumRadius) {
  defaultRadius = radius = newDefaultRadius;
  minimumRadius = newMinimumRadius;
  maximumRadius = newMaximumRadius;
  dragSinceLastUpdate = true;
}

void CModelViewerCamera::SetModelRadius(float newModelRadius) {
  const bool valid = newModelRadius > 0.0f && std::isfinite(newModelRadius);
  modelRadius = valid ? newModelRadius : 0.0f;
  if (!valid) minimumRadius = 1.0f;
  dragSinceLastUpdate = true;
}
