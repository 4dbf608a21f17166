#include "assetexport/surface_frames.h"

#include <cmath>

#include "renderlib/vertex_frames.h"

namespace AssetExport {

using RenderLib::Vector3;

std::vector<SurfaceFrame> ComputeSurfaceFrames(const RenderLib::MeshGroup& group) {
  const std::vector<float> handedness = RenderLib::TangentHandedness(group);
  std::vector<SurfaceFrame> frames(group.vertices.size());
  for (size_t k = 0; k < frames.size(); ++k) {
    const RenderLib::VertexNormalUV& vertex = group.vertices[k];
    SurfaceFrame& frame = frames[k];
    // The readers leave every vertex a unit normal and a unit tangent across it; a group built
    // by other means is mended here rather than exported with a broken frame.
    frame.normal = vertex.normal;
    if (!RenderLib::ScaleToUnit(frame.normal)) frame.normal = Vector3(0.0f, 0.0f, 1.0f);
    frame.tangent = vertex.tangent;
    if (!RenderLib::IsUnit(frame.tangent) || std::fabs(Dot(frame.normal, frame.tangent)) > 1e-3f) {
      frame.tangent -= frame.normal * Dot(frame.normal, frame.tangent);
      if (!RenderLib::ScaleToUnit(frame.tangent)) frame.tangent = RenderLib::AnyPerpendicular(frame.normal);
    }
    frame.handedness = handedness[k];
  }
  return frames;
}

}  // namespace AssetExport
