#pragma once

#include <cstdint>
#include <vector>

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

// A rectangle of a picture in pixels: columns left..right, rows top..bottom counted down.
struct PixelRect {
  float left = 0.0f;
  float top = 0.0f;
  float right = 0.0f;
  float bottom = 0.0f;

  float Width() const { return right - left; }
  float Height() const { return bottom - top; }
};

// The largest part of a width × height picture that no obstacle covers (the part the window's
// panels leave free), judged by its smaller side, then by its area: a model is framed to that
// side. Empty when the obstacles cover everything.
PixelRect LargestFreeRect(float width, float height, const std::vector<PixelRect>& obstacles);

struct Projection {
  float fieldOfView;
  float aspect;  // width / height, 1 for an empty surface
  float nearPlane;
  float farPlane;  // twice the eye's distance from what it looks at
  // Where the view axis meets the picture, -1..1 across its width and up its height.
  Platform::Float2 lensShift;
};
// The program's field of view, centred.
Projection ProjectionFor(float eyeDistance, uint32_t width, uint32_t height);
// The share of the free part's sides a framed model spans at most: a margin keeps it clear of
// the panels.
inline constexpr float kFramedShare = 0.9f;
// Frames the box, turned by world and seen from placement, whole in the free part of a width ×
// height picture: the view axis (through the look-at point, the box's centre) meets the picture
// at the free part's centre, and the field of view is the narrowest that keeps every corner of
// the box within kFramedShare of the free part. An empty free part stands for the whole picture.
Projection FramingProjection(const RenderLib::BoundingBox& box, const Platform::Matrix& world,
                             const CameraPlacement& placement, uint32_t width, uint32_t height, PixelRect free);
// The right-handed perspective with its lens shift.
Platform::Matrix ProjectionMatrix(const Projection& projection);

// How the camera sees the model in a frame.
struct CameraMatrices {
  Platform::Matrix world;           // the model's own turn; the effects apply it themselves
  Platform::Matrix viewProjection;  // view times projection, without the world
  Platform::Float3 eye;
};
// A camera that stays where it was placed, y up, looking at a model turned by world.
CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world,
                           const Projection& projection);
// The same through the program's field of view, centred.
CameraMatrices FixedCamera(const CameraPlacement& placement, const Platform::Matrix& world, uint32_t width,
                           uint32_t height);

// The main light above, left and in front (seen from the starting camera, -x is left); the fill to
// the right at the centre's height; both 20 radii out, far enough to light every side of the
// model alike.
struct Lights {
  float main[3];
  float fill[3];
};
Lights LightsAround(const ModelBounds& bounds);

}  // namespace Viewer
