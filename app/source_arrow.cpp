#include "app/source_arrow.h"

#include <cstdio>
#include <cstring>

void SourceArrow::Draw(Platform::GraphicsDevice& device, Viewer::PointEffect& effect,
                       const Viewer::CameraMatrices& camera, const Viewer::ModelBounds& bounds,
                       const Simulation::EmissionSource& source) {
  const bool same = buffer && source.towards == drawnTowards && bounds.centre == drawnBounds.centre &&
                    bounds.radius == drawnBounds.radius;
  if (!same) {
    Viewer::PointVertex points[kPoints];
    // From the bounding sphere out to twice its radius: the line starts where the model ends
    // on the source's side whatever its shape, and never hides the model itself.
    for (uint32_t i = 0; i < kPoints; ++i) {
      const float t = float(i) / float(kPoints - 1);
      const RenderLib::Vector3 p = bounds.centre + source.towards * ((1.0f + t) * bounds.radius);
      // The points' shader lays the colour on its bronze-to-white ramp: full red with green
      // rising is an orange that brightens towards the source.
      Viewer::PointVertex& point = points[i];
      point = {{p.x, p.y, p.z}, {source.towards.x, source.towards.y, source.towards.z}, {1.0f, 0.5f * t, 0.0f, 1.0f}};
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
    drawnBounds = bounds;
  }
  effect.Draw(buffer.get(), kPoints, camera);
}
