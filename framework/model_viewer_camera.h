#pragma once

#include <cfloat>
#include <cstdint>

#include "framework/arc_ball.h"
#include "framework/base_camera.h"

// Orbits a model: a drag with the rotate-model button turns the model about axes fixed to the
// screen, a drag with the rotate-camera button swings the camera round the look-at point, and
// the wheel moves the camera nearer or farther. Update turns the input into the view,
// projection and world matrices once a frame.
class CModelViewerCamera : public CBaseCamera {
public:
  explicit CModelViewerCamera(CameraInput& input = PlatformCameraInput());

  bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event) override;
  void Update(float elapsedSeconds) override;
  void Reset() override;
  void SetView(const Platform::Float3* eye, const Platform::Float3* lookAt) override;
  void SetActiveRect(const Platform::Rect& rect) override;
  // With a model radius, the clip planes are moved onto the model at once.
  void SetProjection(float fieldOfView, float aspect, float nearPlane, float farPlane) override;

  // The size of the arc balls' area (the back buffer) and their radius as a fraction of it.
  void SetWindow(int width, int height, float arcBallRadius = 0.9f);
  void SetButtonMasks(uint32_t rotateModel = kMouseLeftButton, uint32_t zoom = kMouseWheel,
                      uint32_t rotateCamera = kMouseRightButton);
  void SetAttachCameraToModel(bool attach) { attachCameraToModel = attach; }
  // The camera's distance from the look-at point now and after Reset, and the zoom range.
  void SetRadius(float defaultRadius, float minimumRadius = 1.0f, float maximumRadius = FLT_MAX);
  void SetModelCenter(const Platform::Float3& centre) { modelCentre = centre; }
  // The radius of a sphere about the model centre that holds the whole model; 0 (the start)
  // for none. With a model radius the clip planes and the closest zoom follow the model.
  void SetModelRadius(float radius);

  const Platform::Matrix& GetWorldMatrix() const { return world; }
  float GetRadius() const { return radius; }
  float GetMinimumRadius() const { return minimumRadius; }
  float GetModelRadius() const { return modelRadius; }
  const ArcBall& GetWorldArcBall() const { return worldArcBall; }
  const ArcBall& GetViewArcBall() const { return viewArcBall; }

private:
  void FitClipPlanesToModel();

  ArcBall worldArcBall;
  ArcBall viewArcBall;
  Platform::Float3 modelCentre;
  Platform::Matrix modelLastRotation;
  Platform::Matrix modelRotation;
  Platform::Matrix world;
  uint32_t rotateModelButtonMask = kMouseLeftButton;
  uint32_t zoomButtonMask = kMouseWheel;
  uint32_t rotateCameraButtonMask = kMouseRightButton;
  bool attachCameraToModel = false;
  float radius = 5.0f;
  float defaultRadius = 5.0f;
  float minimumRadius = 1.0f;
  float maximumRadius = FLT_MAX;
  bool dragSinceLastUpdate = true;
  Platform::Matrix cameraLastRotation;
  float modelRadius = 0.0f;
};
