#pragma once

#include <cstdint>

#include "platform/matrix_math.h"
#include "renderlib/bounding_box.h"
#include "renderlib/vector3.h"

// Where the camera and the two lights stand around a model when it is first shown, in the window
// program and in mesh-preview alike.
//
// The shipped models face +z, so the eye starts on the +z side of the model and the main light
// stands above, to the left and in front of it on that side too. An eye and main light on -z
// would show those models' backs, lit from behind.
namespace Viewer {

// The model's bounding box as a sphere: its centre and half its diagonal.
struct ModelBounds {
  RenderLib::Vector3 centre;
  float radius = 0.0f;
};
ModelBounds BoundsOfBox(const RenderLib::BoundingBox& box);

inline constexpr float kFieldOfView = 0.7853982f;  // vertical, pi / 4
inline constexpr float kNearPlane = 0.1f;
inline constexpr float kStartDistance = 2.0f;  // the eye's distance from the centre, in radii

struct CameraPlacement {
  Platform::Float3 eye;
  Platform::Float3 lookAt;
};
// Looks at the centre from the +z side, distance radii away, raised by pitch radians.
CameraPlacement StartingCamera(const ModelBounds& bounds, float distance = kStartDistance, float pitch = 0.0f);

struct Projection {
  float fieldOfView;
  float aspect;  // width / height, 1 for an empty surface
  float nearPlane;
  float farPlane;  // twice the eye's distance from what it looks at
};
Projection ProjectionFor(float eyeDistance, uint32_t width, uint32_t height);

// How the camera sees the model in a frame.
struct CameraMatrices {
  Platform::Matrix world;           // the model's own turn; the effects apply it themselves
  Platform::Matrix viewProjection;  // view times projection, without the world
  Platform::Float3 eye;
};
// A camera that stays where it was placed, y up, looking at a model turned by world.
CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world, uint32_t width,
                           uint32_t height);

// The main light above, left and in front; the fill to the right at the centre's height; both
// 20 radii out, far enough to light every side of the model alike.
struct Lights {
  float main[3];
  float fill[3];
};
Lights LightsAround(const ModelBounds& bounds);

}  // namespace Viewer
