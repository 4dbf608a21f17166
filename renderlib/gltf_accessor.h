#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "renderlib/gltf_constants.h"

namespace tinygltf {
class Model;
}

namespace RenderLib::Gltf {

// The elements of one accessor, checked to lie inside their buffer view and buffer, so reading
// element i < count never leaves the buffer.
struct AccessorView {
  const uint8_t* data = nullptr;  // the first element
  size_t stride = 0;              // bytes from one element to the next
  size_t count = 0;
  int componentType = 0;
  int components = 0;  // 1 for SCALAR up to 4 for VEC4
  bool normalized = false;

  const uint8_t* Element(size_t i) const { return data + i * stride; }
};

// Checks accessor `index` and describes its elements. False with the reason in `error` when the
// index names no accessor, the accessor is sparse, has no elements, no buffer view or an unknown
// type, or reaches past its buffer view or the view past its buffer.
bool ViewAccessor(const tinygltf::Model& model, int index, AccessorView& view, std::string& error);

// Element i of a float accessor with three components.
inline void ReadFloat3(const AccessorView& view, size_t i, float out[3]) {
  std::memcpy(out, view.Element(i), 3 * sizeof(float));
}

// Element i of a two-component accessor of floats or of normalized unsigned bytes or shorts,
// as floats.
void ReadFloat2(const AccessorView& view, size_t i, float out[2]);

// The elements a sparse accessor replaces: `indices` (scalars) name them, `values` hold them.
struct SparseView {
  AccessorView indices;
  AccessorView values;
};

// As ViewAccessor, for an accessor that may be sparse: `dense` describes its elements, with no
// data when it has no buffer view (every element zero), and `sparse` the elements replaced
// (count 0 when it is not sparse). The caller checks the sparse indices against the count.
bool ViewSparseAccessor(const tinygltf::Model& model, int index, AccessorView& dense, SparseView& sparse,
                        std::string& error);

// Element i of a three- or four-component accessor of floats or of normalized unsigned bytes or
// shorts (a vertex colour), as RGBA floats; alpha 1 where the accessor gives three.
void ReadColor(const AccessorView& view, size_t i, float out[4]);

// Every element of an accessor of floats or of (signed or unsigned) bytes or shorts, as floats,
// `components` a vertex: normalized integers scaled to -1..1 or 0..1 as the format says, others
// taken as they are.
std::vector<float> ReadAsFloats(const AccessorView& view);

// Element i of a scalar accessor of unsigned bytes, shorts or ints.
inline uint32_t ReadIndex(const AccessorView& view, size_t i) {
  const uint8_t* element = view.Element(i);
  if (view.componentType == kUnsignedInt) {
    uint32_t value;
    std::memcpy(&value, element, sizeof value);
    return value;
  }
  if (view.componentType == kUnsignedShort) {
    uint16_t value;
    std::memcpy(&value, element, sizeof value);
    return value;
  }
  return *element;
}

}  // namespace RenderLib::Gltf
