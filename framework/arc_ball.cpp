#include "framework/arc_ball.h"

#include <cmath>

using namespace Platform;

ArcBall::ArcBall(CameraInput& input) {
  Reset();
  int foregroundWidth = 0, foregroundHeight = 0;
  input.ForegroundClientSize(&foregroundWidth, &foregroundHeight);
  SetOffset(0, 0);
  SetWindow(foregroundWidth, foregroundHeight, 0.9f);
}

void ArcBall::Reset() {
  down = QuaternionIdentity();
  current = QuaternionIdentity();
  rotation = MatrixIdentity();
  translation = MatrixIdentity();
  translationDelta = MatrixIdentity();
  dragging = false;
  radius = 1.0f;
  translationRadius = 1.0f;
}

void ArcBall::SetWindow(int newWidth, int newHeight, float newRadius) {
  width = newWidth;
  height = newHeight;
  radius = newRadius;
  centre = {static_cast<float>(width) / 2.0f, static_cast<float>(height) / 2.0f};
}

void ArcBall::SetOffset(int x, int y) { offset = {x, y}; }

void ArcBall::SetQuatNow(Quaternion q) {
  current = q;
  rotation = MatrixRotationQuaternion(current);
}

Float3 ArcBall::ScreenToVector(float x, float y) const {
  const float xScale = radius * static_cast<float>(width) * 0.5f;
  const float yScale = radius * static_cast<float>(height) * 0.5f;
  // An area of no size (no window yet) has no sphere: answer its centre rather than NaN.
  if (!(xScale > 0.0f) || !(yScale > 0.0f)) return {0.0f, 0.0f, 1.0f};
  // View space: +x to the right, +y up (window rows run down), +z towards the viewer.
  float vx = (x - static_cast<float>(offset.x) - static_cast<float>(width / 2)) / xScale;
  float vy = -(y - static_cast<float>(offset.y) - static_cast<float>(height / 2)) / yScale;
  float vz = 0.0f;
  const float m = vx * vx + vy * vy;
  if (m > 1.0f) {
    const float k = 1.0f / std::sqrt(m);
    vx *= k;
    vy *= k;
  } else {
    vz = std::sqrt(1.0f - m);
  }
  return {vx, vy, vz};
}

void ArcBall::OnBegin(int x, int y) {
  if (x < offset.x || x >= offset.x + width || y < offset.y || y >= offset.y + height) return;
  dragging = true;
  down = current;
  downVector = ScreenToVector(static_cast<float>(x), static_cast<float>(y));
}

void ArcBall::OnMove(int x, int y) {
  if (!dragging) return;
  currentVector = ScreenToVector(static_cast<float>(x), static_cast<float>(y));
  // (a × b, a · b) turns by twice the angle between a and b: a drag from the centre to the
  // rim turns half round.
  const Float3 axis = Vec3Cross(downVector, currentVector);
  const Quaternion drag{axis.x, axis.y, axis.z, Vec3Dot(downVector, currentVector)};
  SetQuatNow(QuaternionMultiply(down, drag));
}
