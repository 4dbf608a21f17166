#pragma once

#include "framework/camera_input.h"
#include "platform/matrix_math.h"
#include "platform/window.h"

// A virtual trackball: a drag across a rectangle of the window turns a sphere under the
// cursor, and the turn so far is kept as a quaternion.
class ArcBall {
public:
  // Starts with the size of the window in front (0 x 0 when there is none) and radius 0.9.
  explicit ArcBall(CameraInput& input = PlatformCameraInput());

  // Identity rotation, not dragging, radius 1.
  void Reset();
  // The area the ball covers: width x height pixels at offset in the window; radius is a
  // fraction of the half-size.
  void SetWindow(int width, int height, float radius = 0.9f);
  void SetOffset(int x, int y);
  void SetTranslationRadius(float radius) { translationRadius = radius; }

  // Begins a drag when (x, y) lies inside the ball's area.
  void OnBegin(int x, int y);
  void OnMove(int x, int y);
  void OnEnd() { dragging = false; }

  // The point of the unit sphere under (x, y), in view space (+x right, +y up, +z towards the
  // viewer); past the rim, the nearest point of the rim. A drag turns the sphere so that the
  // point under the cursor follows it.
  Platform::Float3 ScreenToVector(float x, float y) const;

  const Platform::Matrix& GetRotationMatrix() const { return rotation; }
  const Platform::Matrix& GetTranslationMatrix() const { return translation; }
  const Platform::Matrix& GetTranslationDeltaMatrix() const { return translationDelta; }
  bool IsBeingDragged() const { return dragging; }
  Platform::Quaternion GetQuatNow() const { return current; }
  void SetQuatNow(Platform::Quaternion q);
  Platform::Point Offset() const { return offset; }
  int Width() const { return width; }
  int Height() const { return height; }
  float Radius() const { return radius; }

private:
  Platform::Matrix rotation;
  Platform::Matrix translation;
  Platform::Matrix translationDelta;
  Platform::Point offset;
  int width = 0;
  int height = 0;
  Platform::Float2 centre;
  float radius = 1.0f;
  float translationRadius = 1.0f;
  Platform::Quaternion down;
  Platform::Quaternion current;
  bool dragging = false;
  Platform::Float3 downVector;
  Platform::Float3 currentVector;
};
