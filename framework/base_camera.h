#pragma once

#include <cstdint>

#include "framework/camera_input.h"
#include "platform/matrix_math.h"
#include "platform/window.h"
#include "platform/key_codes.h"
#include "platform/window_event.h"

// What the camera keys do; KeyToAction maps virtual keys to these.
enum CameraAction : uint8_t {
  kCameraStrafeLeft = 0,
  kCameraStrafeRight,
  kCameraMoveForward,
  kCameraMoveBackward,
  kCameraMoveUp,
  kCameraMoveDown,
  kCameraReset,
  kCameraControlDown,
  kCameraActionCount,
  kCameraUnknown = 0xFF,
};

// Bits of the camera's button masks.
inline constexpr uint32_t kMouseLeftButton = 0x01;
inline constexpr uint32_t kMouseMiddleButton = 0x02;
inline constexpr uint32_t kMouseRightButton = 0x04;
inline constexpr uint32_t kMouseWheel = 0x08;

// The input bookkeeping every kind of camera shares: keys, buttons, wheel and mouse motion
// gathered from window events, and the view and projection they end in.
class CBaseCamera {
public:
  explicit CBaseCamera(CameraInput& input);
  CBaseCamera(const CBaseCamera&) = delete;
  CBaseCamera& operator=(const CBaseCamera&) = delete;

  // True for a mouse press (which captures the mouse).
  virtual bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event);
  virtual void Update(float elapsedSeconds) = 0;
  // Back to the view last given to SetView.
  virtual void Reset();
  // Looks from eye at lookAt, with +y up; both become the defaults Reset returns to. Nothing
  // happens when either is missing.
  virtual void SetView(const Platform::Float3* eye, const Platform::Float3* lookAt);
  // A perspective of the vertical fieldOfView (radians), aspect = width / height, moved by the
  // lens shift.
  virtual void SetProjection(float fieldOfView, float aspect, float nearPlane, float farPlane);
  // Where the view axis meets the picture, in -1..1 of its width and height (0, 0 is the centre):
  // the scene moves over the picture without turning, to centre it in part of the window.
  void SetLensShift(Platform::Float2 shift);
  // Mouse presses outside the rectangle (window client pixels) set no button.
  virtual void SetActiveRect(const Platform::Rect& rect);
  virtual CameraAction KeyToAction(uint32_t virtualKey) const;
  virtual ~CBaseCamera() = default;

  void SetInvertPitch(bool invert) { invertPitch = invert; }
  void SetEnablePositionMovement(bool enable) { enablePositionMovement = enable; }
  void SetEnableYAxisMovement(bool enable) { enableYAxisMovement = enable; }
  void SetClipToBoundaries(bool clip, const Platform::Float3* minimum, const Platform::Float3* maximum);
  void SetScalers(float rotation, float move);
  // Movement eases to a stop over totalDragTimeToZero seconds (kept when not positive)
  // instead of stopping at once.
  void SetDrag(bool movementDrag, float totalDragTimeToZero = 0.25f);
  // Mouse deltas are averaged over about this many frames (at least 1).
  void SetNumberOfFramesToSmoothMouseData(int frames);
  void SetResetCursorAfterMove(bool reset) { resetCursorAfterMove = reset; }

  const Platform::Matrix& GetViewMatrix() const { return view; }
  const Platform::Matrix& GetProjMatrix() const { return projection; }
  const Platform::Float3& GetEyePt() const { return eye; }
  const Platform::Float3& GetLookAtPt() const { return lookAt; }
  // The view Reset returns to.
  const Platform::Float3& GetDefaultEye() const { return defaultEye; }
  const Platform::Float3& GetDefaultLookAt() const { return defaultLookAt; }
  float GetFieldOfView() const { return fieldOfView; }
  Platform::Float2 GetLensShift() const { return lensShift; }
  float GetNearClip() const { return nearPlane; }
  float GetFarClip() const { return farPlane; }
  float GetYaw() const { return yaw; }
  float GetPitch() const { return pitch; }
  const Platform::Float3& GetVelocity() const { return velocity; }
  const Platform::Float2& GetRotationVelocity() const { return rotationVelocity; }
  int KeysDown() const { return keysDown; }
  uint8_t KeyState(CameraAction action) const { return action < kCameraActionCount ? keyStates[action] : 0; }
  uint32_t ButtonMask() const { return currentButtonMask; }
  int WheelDelta() const { return wheelDelta; }
  bool IsMouseLButtonDown() const { return mouseLButtonDown; }
  bool IsMouseMButtonDown() const { return mouseMButtonDown; }
  bool IsMouseRButtonDown() const { return mouseRButtonDown; }

protected:
  static bool IsKeyDown(uint8_t keyState) { return (keyState & 0x01) != 0; }
  static bool WasKeyDown(uint8_t keyState) { return (keyState & 0x80) != 0; }
  bool InActiveRect(int x, int y) const;
  // Reads the keyboard direction and the mouse motion since the last call.
  void GetInput(bool keyboard, bool mouse, bool gamePad);
  void UpdateVelocity(float elapsedSeconds);

  CameraInput& input;

  Platform::Matrix view;
  Platform::Matrix projection;
  // No game pad is read: the sticks stay at rest.
  Platform::Float3 gamePadLeftStick;
  Platform::Float2 gamePadRightStick;
  int keysDown = 0;
  uint8_t keyStates[kCameraActionCount] = {};
  Platform::Float3 keyboardDirection;
  Platform::Point lastMousePosition;
  bool mouseLButtonDown = false;
  bool mouseMButtonDown = false;
  bool mouseRButtonDown = false;
  uint32_t currentButtonMask = 0;
  int wheelDelta = 0;
  Platform::Float2 mouseDelta;
  float framesToSmoothMouseData = 2.0f;
  Platform::Float3 defaultEye;
  Platform::Float3 defaultLookAt;
  Platform::Float3 eye;
  Platform::Float3 lookAt;
  float yaw = 0.0f;
  float pitch = 0.0f;
  Platform::Rect activeRect;
  Platform::Float3 velocity;
  bool movementDrag = false;
  Platform::Float3 velocityDrag;
  float dragTimer = 0.0f;
  float totalDragTimeToZero = 0.25f;
  Platform::Float2 rotationVelocity;
  float fieldOfView = 0.0f;
  float aspect = 0.0f;
  float nearPlane = 0.0f;
  float farPlane = 0.0f;
  Platform::Float2 lensShift;
  float rotationScaler = 0.01f;
  float moveScaler = 5.0f;
  bool invertPitch = false;
  bool enablePositionMovement = true;
  bool enableYAxisMovement = true;
  bool clipToBoundaries = false;
  Platform::Float3 minBoundary{-1.0f, -1.0f, -1.0f};
  Platform::Float3 maxBoundary{1.0f, 1.0f, 1.0f};
  bool resetCursorAfterMove = false;
};
