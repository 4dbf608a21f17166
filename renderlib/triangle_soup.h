#pragma once

#include <cstdint>

#include "renderlib/bounding_box.h"
#include "renderlib/vector3.h"

namespace RenderLib {

// An indexed triangle mesh as the kd-tree and the simulation see it: triangle t uses the
// vertex indices 3t, 3t + 1 and 3t + 2. Read by many threads at once; never changes once built.
template <class Vertex>
class TriangleSoup {
public:
  virtual int32_t GetIndexCount() const = 0;
  virtual const int32_t* GetIndices() const = 0;
  virtual int32_t GetVertexCount() const = 0;
  virtual const Vertex* GetVertices() const = 0;
  virtual BoundingBox GetBoundingBox() const = 0;

protected:
  // Owners destroy the concrete type; there is no deletion through this interface.
  ~TriangleSoup() = default;
};

// Signed area of triangle (a, b, c) when n is its unit normal.
inline float TriangleArea(const Vector3& n, const Vector3& a, const Vector3& b, const Vector3& c) {
  return 0.5f * Dot(n, Cross(b - a, c - a));
}

}  // namespace RenderLib
