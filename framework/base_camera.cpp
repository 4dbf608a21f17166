#include "framework/base_camera.h"

#include <climits>
#include <cmath>

using namespace Platform;

CBaseCamera::CBaseCamera(CameraInput& cameraInput) : input(cameraInput) {
  const Float3 origin{0.0f, 0.0f, 0.0f};
  const Float3 ahead{0.0f, 0.0f, 1.0f};
  CBaseCamera::SetView(&origin, &ahead);
  CBaseCamera::SetProjection(0.7853982f, 1.0f, 1.0f, 1000.0f);
  lastMousePosition = input.CursorPosition();
  activeRect = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
}

bool CBaseCamera::InActiveRect(int x, int y) const {
  return x >= activeRect.left && x < activeRect.right && y >= activeRect.top && y < activeRect.bottom;
}

namespace {

// The camera's bit for a button it answers (left, middle, right), 0 for the others.
uint32_t CameraButton(MouseButton button) {
  switch (button) {
    case MouseButton::Left: return kMouseLeftButton;
    case MouseButton::Middle: return kMouseMiddleButton;
    case MouseButton::Right: return kMouseRightButton;
    default: return 0;
  }
}

}  // namespace

bool CBaseCamera::HandleEvent(Window* window, const WindowEvent& event) {
  switch (event.type) {
    case EventType::KeyDown: {
      const CameraAction action = KeyToAction(event.key);
      if (action != kCameraUnknown && !IsKeyDown(keyStates[action])) {
        keyStates[action] = 0x81;
        ++keysDown;
      }
      return false;
    }
    case EventType::KeyUp: {
      // Only a key whose press we saw counts down: a press that a text field took must not
      // push the count below zero and keep Update busy for ever.
      const CameraAction action = KeyToAction(event.key);
      if (action < kCameraActionCount && IsKeyDown(keyStates[action])) {
        keyStates[action] &= static_cast<uint8_t>(~0x01);
        --keysDown;
      }
      return false;
    }
    case EventType::ButtonDown:
    case EventType::DoubleClick: {
      const uint32_t button = CameraButton(event.button);
      if (button == 0) return false;
      if (InActiveRect(event.position.x, event.position.y)) {
        if (button == kMouseLeftButton) mouseLButtonDown = true;
        else if (button == kMouseMiddleButton) mouseMButtonDown = true;
        else mouseRButtonDown = true;
        currentButtonMask |= button;
      }
      input.SetCapture(window);
      lastMousePosition = input.CursorPosition();
      return true;
    }
    case EventType::ButtonUp: {
      const uint32_t button = CameraButton(event.button);
      if (button == 0) return false;
      if (button == kMouseLeftButton) mouseLButtonDown = false;
      else if (button == kMouseMiddleButton) mouseMButtonDown = false;
      else mouseRButtonDown = false;
      currentButtonMask &= ~button;
      if (!mouseLButtonDown && !mouseMButtonDown && !mouseRButtonDown) input.ReleaseCapture();
      return false;
    }
    case EventType::Wheel:
      wheelDelta += event.wheelDelta;
      return false;
    case EventType::CaptureLost:
      if (event.capturedBy != input.WindowHandle(window) &&
          (currentButtonMask & (kMouseLeftButton | kMouseMiddleButton | kMouseRightButton)) != 0) {
        mouseLButtonDown = mouseMButtonDown = mouseRButtonDown = false;
        currentButtonMask &= ~(kMouseLeftButton | kMouseMiddleButton | kMouseRightButton);
        input.ReleaseCapture();
      }
      return false;
    default:
      return false;
  }
}

void CBaseCamera::Reset() { SetView(&defaultEye, &defaultLookAt); }

void CBaseCamera::SetView(const Float3* newEye, const Float3* newLookAt) {
  if (!newEye || !newLookAt) return;
  defaultEye = eye = *newEye;
  defaultLookAt = lookAt = *newLookAt;
  view = MatrixLookAtRH(eye, lookAt, {0.0f, 1.0f, 0.0f});
  const Matrix inverseView = MatrixInverse(view);
  // The third row of the camera's world matrix points back at the eye: forward is its opposite.
  const Float3 forward{-inverseView.m[2][0], -inverseView.m[2][1], -inverseView.m[2][2]};
  yaw = std::atan2(forward.x, forward.z);
  pitch = -std::atan2(forward.y, std::sqrt(forward.x * forward.x + forward.z * forward.z));
}

void CBaseCamera::SetProjection(float newFieldOfView, float newAspect, float newNearPlane, float newFarPlane) {
  fieldOfView = newFieldOfView;
  aspect = newAspect;
  nearPlane = newNearPlane;
  farPlane = newFarPlane;
  projection = MatrixPerspectiveFovRH(fieldOfView, aspect, nearPlane, farPlane) *
               MatrixTranslation(lensShift.x, lensShift.y, 0.0f);
}

void CBaseCamera::SetLensShift(Float2 shift) {
  lensShift = shift;
  SetProjection(fieldOfView, aspect, nearPlane, farPlane);
}

void CBaseCamera::SetActiveRect(const Rect& rect) { activeRect = rect; }

CameraAction CBaseCamera::KeyToAction(uint32_t virtualKey) const {
  switch (virtualKey) {
    case VK_CONTROL:
      return kCameraControlDown;
    case VK_LEFT:
    case 'A':
    case VK_NUMPAD0 + 4:
      return kCameraStrafeLeft;
    case VK_RIGHT:
    case 'D':
    case VK_NUMPAD0 + 6:
      return kCameraStrafeRight;
    case VK_UP:
    case 'W':
    case VK_NUMPAD0 + 8:
      return kCameraMoveForward;
    case VK_DOWN:
    case 'S':
    case VK_NUMPAD0 + 2:
      return kCameraMoveBackward;
    case VK_PRIOR:
    case 'E':
    case VK_NUMPAD0 + 9:
      return kCameraMoveUp;
    case VK_NEXT:
    case 'Q':
    case VK_NUMPAD0 + 3:
      return kCameraMoveDown;
    case VK_HOME:
    case 'F':
      return kCameraReset;
    default:
      return kCameraUnknown;
  }
}

void CBaseCamera::SetClipToBoundaries(bool clip, const Float3* minimum, const Float3* maximum) {
  clipToBoundaries = clip;
  if (minimum) minBoundary = *minimum;
  if (maximum) maxBoundary = *maximum;
}

void CBaseCamera::SetScalers(float rotation, float move) {
  rotationScaler = rotation;
  moveScaler = move;
}

void CBaseCamera::SetDrag(bool drag, float timeToZero) {
  movementDrag = drag;
  if (timeToZero > 0.0f) totalDragTimeToZero = timeToZero;
}

void CBaseCamera::SetNumberOfFramesToSmoothMouseData(int frames) {
  if (frames > 0) framesToSmoothMouseData = static_cast<float>(frames);
}

void CBaseCamera::GetInput(bool keyboard, bool mouse, bool gamePad) {
  keyboardDirection = {0.0f, 0.0f, 0.0f};
  if (keyboard) {
    if (IsKeyDown(keyStates[kCameraMoveForward])) keyboardDirection.z += 1.0f;
    if (IsKeyDown(keyStates[kCameraMoveBackward])) keyboardDirection.z -= 1.0f;
    if (enableYAxisMovement) {
      if (IsKeyDown(keyStates[kCameraMoveUp])) keyboardDirection.y += 1.0f;
      if (IsKeyDown(keyStates[kCameraMoveDown])) keyboardDirection.y -= 1.0f;
    }
    if (IsKeyDown(keyStates[kCameraStrafeRight])) keyboardDirection.x += 1.0f;
    if (IsKeyDown(keyStates[kCameraStrafeLeft])) keyboardDirection.x -= 1.0f;
  }

  if (mouse) {
    Point position = input.CursorPosition();
    const Float2 delta{static_cast<float>(position.x - lastMousePosition.x),
                       static_cast<float>(position.y - lastMousePosition.y)};
    lastMousePosition = position;
    if (resetCursorAfterMove) lastMousePosition = input.CentreCursor();
    const float p = 1.0f / framesToSmoothMouseData;
    mouseDelta.x = delta.x * p + mouseDelta.x * (1.0f - p);
    mouseDelta.y = delta.y * p + mouseDelta.y * (1.0f - p);
    rotationVelocity = {mouseDelta.x * rotationScaler, mouseDelta.y * rotationScaler};
  }

  // No game pad is read, so its sticks stay at rest.
  if (gamePad) {
    gamePadLeftStick = {0.0f, 0.0f, 0.0f};
    gamePadRightStick = {0.0f, 0.0f};
  }
}

void CBaseCamera::UpdateVelocity(float elapsedSeconds) {
  rotationVelocity.x = rotationScaler * mouseDelta.x + gamePadRightStick.x * 0.02f;
  rotationVelocity.y = rotationScaler * mouseDelta.y - gamePadRightStick.y * 0.02f;

  const Float3 acceleration = Vec3Normalize(keyboardDirection + gamePadLeftStick) * moveScaler;
  if (!movementDrag) {
    velocity = acceleration;
    return;
  }
  if (Vec3Dot(acceleration, acceleration) > 0.0f) {
    velocity = acceleration;
    dragTimer = totalDragTimeToZero;
    velocityDrag = acceleration * (1.0f / totalDragTimeToZero);
  } else if (dragTimer > 0.0f) {
    velocity -= velocityDrag * elapsedSeconds;
    dragTimer -= elapsedSeconds;
  } else {
    velocity = {0.0f, 0.0f, 0.0f};
  }
}
