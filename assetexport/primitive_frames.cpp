#include "assetexport/primitive_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "renderlib/gltf_constants.h"

namespace AssetExport {
namespace {

namespace Gltf = RenderLib::Gltf;
using RenderLib::Vector3;

// The inverse of a 3 x 3 matrix; the identity for one that has none.
void Invert(const double (&m)[3][3], double (&inverse)[3][3]) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) {
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) inverse[r][c] = r == c ? 1.0 : 0.0;
    }
    return;
  }
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
    }
  }
}

// m x v, or the transpose's when `transposed`, scaled to unit length (fallback when it has none).
Vector3 UnitProduct(const double (&m)[3][3], const Vector3& v, bool transposed, const Vector3& fallback) {
  double out[3];
  for (int r = 0; r < 3; ++r) {
    out[r] = 0.0;
    for (int c = 0; c < 3; ++c) out[r] += (transposed ? m[c][r] : m[r][c]) * double(v[c]);
  }
  const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  if (!(length > 0.0) || !std::isfinite(length)) return fallback;
  return Vector3(float(out[0] / length), float(out[1] / length), float(out[2] / length));
}

// One element of an accessor, as raw bytes; false when the accessor cannot be read so.
struct ElementReader {
  const unsigned char* start = nullptr;
  size_t stride = 0;
  size_t size = 0;
  size_t count = 0;

  bool Open(const tinygltf::Model& gltf, int index) {
    if (index < 0 || size_t(index) >= gltf.accessors.size()) return false;
    const tinygltf::Accessor& accessor = gltf.accessors[size_t(index)];
    if (accessor.sparse.isSparse || accessor.bufferView < 0 || size_t(accessor.bufferView) >= gltf.bufferViews.size()) {
      return false;
    }
    const tinygltf::BufferView& view = gltf.bufferViews[size_t(accessor.bufferView)];
    const int components = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    const int componentSize = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    if (components <= 0 || componentSize <= 0 || gltf.buffers.empty()) return false;
    size = size_t(components) * size_t(componentSize);
    stride = view.byteStride != 0 ? view.byteStride : size;
    count = accessor.count;
    const std::vector<unsigned char>& data = gltf.buffers[0].data;
    const size_t offset = view.byteOffset + accessor.byteOffset;
    if (count > 0 && (offset > data.size() || (count - 1) * stride + size > data.size() - offset)) return false;
    start = data.data() + offset;
    return true;
  }

  uint32_t Index(size_t i) const {
    if (size == 1) return start[i * stride];
    if (size == 2) {
      uint16_t value;
      std::memcpy(&value, start + i * stride, 2);
      return value;
    }
    uint32_t value;
    std::memcpy(&value, start + i * stride, 4);
    return value;
  }
};

// The triangles of a primitive as the model's reader took them: triangle t's corners in the
// file's winding.
class PrimitiveCorners {
public:
  bool Open(const tinygltf::Model& gltf, const tinygltf::Primitive& primitive, size_t vertexCount) {
    mode = primitive.mode == -1 ? Gltf::kModeTriangles : primitive.mode;
    indexed = primitive.indices >= 0;
    if (indexed && !indices.Open(gltf, primitive.indices)) return false;
    const size_t corners = indexed ? indices.count : vertexCount;
    triangles = mode == Gltf::kModeTriangles ? corners / 3 : corners >= 3 ? corners - 2 : 0;
    vertices = vertexCount;
    return mode >= Gltf::kModeTriangles;
  }

  bool Triangle(size_t t, uint32_t corner[3]) const {
    size_t at[3] = {3 * t, 3 * t + 1, 3 * t + 2};
    if (mode == Gltf::kModeTriangleStrip) {
      const size_t odd = t & 1;
      at[0] = t, at[1] = t + 1 + odd, at[2] = t + 2 - odd;
    } else if (mode == Gltf::kModeTriangleFan) {
      at[0] = t + 1, at[1] = t + 2, at[2] = 0;
    }
    for (int k = 0; k < 3; ++k) {
      corner[k] = indexed ? indices.Index(at[k]) : uint32_t(at[k]);
      if (corner[k] >= vertices) return false;
    }
    return true;
  }

  size_t triangles = 0;

private:
  int mode = Gltf::kModeTriangles;
  bool indexed = false;
  ElementReader indices;
  size_t vertices = 0;
};

// Copies an accessor's elements in the order `order` names them into a view and accessor of
// their own; float bounds are worked out again (the old ones covered vertices no longer there).
// -1 when it cannot be read.
int DeindexAccessor(AgedDocument& document, int index, const std::vector<uint32_t>& order) {
  ElementReader reader;
  if (!reader.Open(document.gltf, index)) return -1;
  for (const uint32_t i : order) {
    if (i >= reader.count) return -1;
  }
  const size_t stride = (reader.size + 3) / 4 * 4;  // vertex attributes start on 4-byte boundaries
  std::vector<unsigned char> bytes(order.size() * stride, 0);
  for (size_t k = 0; k < order.size(); ++k) std::memcpy(&bytes[k * stride], reader.start + order[k] * reader.stride, reader.size);
  tinygltf::Accessor accessor = document.gltf.accessors[size_t(index)];
  accessor.bufferView = document.AddView(bytes.data(), bytes.size(), Gltf::kArrayBuffer, stride == reader.size ? 0 : stride);
  accessor.byteOffset = 0;
  accessor.count = order.size();
  if (accessor.componentType == Gltf::kFloat && !accessor.minValues.empty()) {
    const size_t components = reader.size / sizeof(float);
    accessor.minValues.assign(components, std::numeric_limits<double>::max());
    accessor.maxValues.assign(components, -std::numeric_limits<double>::max());
    for (size_t k = 0; k < order.size(); ++k) {
      for (size_t c = 0; c < components; ++c) {
        float value;
        std::memcpy(&value, &bytes[k * stride + c * sizeof(float)], sizeof value);
        accessor.minValues[c] = std::min(accessor.minValues[c], double(value));
        accessor.maxValues[c] = std::max(accessor.maxValues[c], double(value));
      }
    }
  } else {
    accessor.minValues.clear();
    accessor.maxValues.clear();
  }
  document.gltf.accessors.push_back(std::move(accessor));
  return int(document.gltf.accessors.size()) - 1;
}

}  // namespace

bool WriteFrames(const RenderLib::PlacedPrimitive& placed, const Gltf::Transform& world,
                 const std::vector<SurfaceFrame>& frames, tinygltf::Primitive& primitive, AgedDocument& document,
                 std::string* error) {
  const std::string name =
      "mesh " + std::to_string(placed.mesh) + " primitive " + std::to_string(placed.primitive);
  if (placed.firstVertex < 0 || size_t(placed.firstVertex) + size_t(placed.vertexCount) > frames.size()) {
    *error = name + ": its vertices are not where the model says";
    return false;
  }
  double inverse[3][3];
  Invert(world.linear, inverse);
  const SurfaceFrame* frame = frames.data() + placed.firstVertex;
  // Back into the mesh's own space: a tangent by the inverse, a normal by the transpose.
  const auto localTangent = [&](const SurfaceFrame& f) {
    return UnitProduct(inverse, f.tangent, false, Vector3(1.0f, 0.0f, 0.0f));
  };
  std::vector<float> tangents;
  tangents.reserve(size_t(placed.vertexCount) * 4);
  const auto pushTangent = [&](const SurfaceFrame& f) {
    const Vector3 t = localTangent(f);
    tangents.insert(tangents.end(), {t.x, t.y, t.z, f.handedness < 0.0f ? -1.0f : 1.0f});
  };
  if (!placed.unwelded) {
    for (int32_t i = 0; i < placed.vertexCount; ++i) pushTangent(frame[i]);
    primitive.attributes["TANGENT"] = document.AddFloatAccessor(tangents, TINYGLTF_TYPE_VEC4, 4, false);
    return true;
  }

  const auto position = primitive.attributes.find("POSITION");
  ElementReader positions;
  if (position == primitive.attributes.end() || !positions.Open(document.gltf, position->second)) {
    *error = name + ": its positions cannot be read";
    return false;
  }
  PrimitiveCorners corners;
  if (!corners.Open(document.gltf, primitive, positions.count) ||
      3 * corners.triangles != size_t(placed.vertexCount)) {
    *error = name + ": its triangles do not match the model's";
    return false;
  }
  // The reader turned the triangles of a mirroring placement round; the file keeps its winding.
  const int fromGroup[3] = {0, world.Mirrors() ? 2 : 1, world.Mirrors() ? 1 : 2};
  std::vector<uint32_t> order(3 * corners.triangles);
  std::vector<float> normals;
  normals.reserve(order.size() * 3);
  for (size_t t = 0; t < corners.triangles; ++t) {
    uint32_t corner[3];
    if (!corners.Triangle(t, corner)) {
      *error = name + ": an index is past its vertices";
      return false;
    }
    for (int k = 0; k < 3; ++k) {
      order[3 * t + size_t(k)] = corner[k];
      const SurfaceFrame& f = frame[3 * t + size_t(fromGroup[k])];
      const Vector3 n = UnitProduct(world.linear, f.normal, true, Vector3(0.0f, 0.0f, 1.0f));
      normals.insert(normals.end(), {n.x, n.y, n.z});
      pushTangent(f);
    }
  }
  const auto deindex = [&](std::map<std::string, int>& attributes) {
    for (auto& [attribute, accessor] : attributes) {
      const int copied = DeindexAccessor(document, accessor, order);
      if (copied < 0) {
        *error = name + ": its " + attribute + " cannot be copied per corner (a sparse or unreadable accessor)";
        return false;
      }
      accessor = copied;
    }
    return true;
  };
  if (!deindex(primitive.attributes)) return false;
  for (std::map<std::string, int>& target : primitive.targets) {
    if (!deindex(target)) return false;
  }
  primitive.attributes["NORMAL"] = document.AddFloatAccessor(normals, TINYGLTF_TYPE_VEC3, 3, false);
  primitive.attributes["TANGENT"] = document.AddFloatAccessor(tangents, TINYGLTF_TYPE_VEC4, 4, false);
  primitive.indices = -1;
  primitive.mode = Gltf::kModeTriangles;
  return true;
}


}  // namespace AssetExport
