#include "app/source_arrow.h"

#include <cstdio>
#include <cstring>

#include "platform/matrix_math.h"

void SourceArrow::Draw(Platform::GraphicsDevice& device, Viewer::PointEffect& effect,
                       const Viewer::CameraMatrices& camera, const Viewer::ModelBounds& bounds,
                       const Simulation::EmissionSource& source) {
  // The points are lit on their normal: one facing the eye keeps the line bright as the model
  // turns (the lights are placed about the eye), where the line's own direction would leave it in
  // the shade whenever the source is away from the light. In the model's space, as the effect
  // turns normals by the model's turn.
  const Platform::Float3 centre =
      Platform::Vec3TransformCoord({bounds.centre.x, bounds.centre.y, bounds.centre.z}, camera.world);
  const Platform::Float3 facing = Platform::Vec3Normalize(Platform::Vec3TransformNormal(
      {camera.eye.x - centre.x, camera.eye.y - centre.y, camera.eye.z - centre.z}, Platform::MatrixTranspose(camera.world)));
  const RenderLib::Vector3 normal{facing.x, facing.y, facing.z};
  const bool same = buffer && source.towards == drawnTowards && normal == drawnNormal &&
                    bounds.centre == drawnBounds.centre && bounds.radius == drawnBounds.radius;
  if (!same) {
    Viewer::PointVertex points[kPoints];
    // From near the model's centre out past its bounding sphere: drawn over the model, the line
    // shows which way the weather comes from within the frame, where a line starting at the
    // bounding sphere would mostly fall outside it or under the panels.
    for (uint32_t i = 0; i < kPoints; ++i) {
      const float t = float(i) / float(kPoints - 1);
      const RenderLib::Vector3 p = bounds.centre + source.towards * ((kNearEnd + t * (kFarEnd - kNearEnd)) * bounds.radius);
      // The points' shader lays the colour on its bronze-to-white ramp: its white end stands out
      // over a bronze model and a dark background alike.
      Viewer::PointVertex& point = points[i];
      point = {{p.x, p.y, p.z}, {normal.x, normal.y, normal.z}, {1.0f, 1.0f, 1.0f, 1.0f}};
    }
    if (buffer) {
      void* target = buffer->MapDiscard();
      if (target == nullptr) return;
      std::memcpy(target, points, sizeof points);
      buffer->Unmap();
    } else if (Platform::Failed(device.CreateVertexBuffer(uint32_t(sizeof points), points, true, &buffer))) {
      buffer.reset();
      if (!failed) std::fprintf(stderr, "patinex: no room on the device for the weather's direction line\n");
      failed = true;
      return;
    }
    drawnTowards = source.towards;
    drawnNormal = normal;
    drawnBounds = bounds;
  }
  effect.Draw(buffer.get(), kPoints, camera);
}
