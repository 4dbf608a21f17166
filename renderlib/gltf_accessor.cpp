#include "renderlib/gltf_accessor.h"

#include <tiny_gltf.h>

#include <algorithm>

namespace RenderLib::Gltf {
namespace {

size_t ComponentSize(int componentType) {
  switch (componentType) {
    case kByte:
    case kUnsignedByte:
      return 1;
    case kShort:
    case kUnsignedShort:
      return 2;
    case kUnsignedInt:
    case kFloat:
      return 4;
    default:
      return 0;
  }
}

// Matrix types count their columns padded to four bytes; only vectors and scalars matter here.
int ComponentCount(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR:
      return 1;
    case TINYGLTF_TYPE_VEC2:
      return 2;
    case TINYGLTF_TYPE_VEC3:
      return 3;
    case TINYGLTF_TYPE_VEC4:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

namespace {

// The elements `view` describes (its count, component type and components set), `byteOffset`
// into buffer view `bufferView`, checked to lie inside the view and the view inside its buffer.
// `name` names the elements for messages.
bool PlaceInBufferView(const tinygltf::Model& model, int bufferView, size_t byteOffset, bool strided,
                       const std::string& name, AccessorView& view, std::string& error) {
  const size_t elementSize = ComponentSize(view.componentType) * size_t(view.components);
  view.stride = elementSize;
  if (bufferView < 0 || size_t(bufferView) >= model.bufferViews.size()) {
    error = name + " names buffer view " + std::to_string(bufferView) + ", which does not exist";
    return false;
  }
  const tinygltf::BufferView& viewOfBuffer = model.bufferViews[size_t(bufferView)];
  const std::string viewName = "buffer view " + std::to_string(bufferView);
  if (viewOfBuffer.buffer < 0 || size_t(viewOfBuffer.buffer) >= model.buffers.size()) {
    error = viewName + " names buffer " + std::to_string(viewOfBuffer.buffer) + ", which does not exist";
    return false;
  }
  const std::vector<unsigned char>& buffer = model.buffers[size_t(viewOfBuffer.buffer)].data;
  if (viewOfBuffer.byteOffset > buffer.size() || viewOfBuffer.byteLength > buffer.size() - viewOfBuffer.byteOffset) {
    error = viewName + " (bytes " + std::to_string(viewOfBuffer.byteOffset) + " to " +
            std::to_string(viewOfBuffer.byteOffset + viewOfBuffer.byteLength) + ") reaches past the end of buffer " +
            std::to_string(viewOfBuffer.buffer) + " (" + std::to_string(buffer.size()) + " bytes)";
    return false;
  }
  if (strided && viewOfBuffer.byteStride != 0) {
    if (viewOfBuffer.byteStride < elementSize) {
      error = viewName + " has a stride of " + std::to_string(viewOfBuffer.byteStride) + " bytes, less than the " +
              std::to_string(elementSize) + " bytes of an element of " + name;
      return false;
    }
    view.stride = viewOfBuffer.byteStride;
  }
  // Worked out by division, so that no count or stride a file names can overflow.
  const size_t length = viewOfBuffer.byteLength;
  const bool fits = byteOffset <= length && elementSize <= length - byteOffset &&
                    view.count - 1 <= (length - byteOffset - elementSize) / view.stride;
  if (!fits) {
    error = name + " (" + std::to_string(view.count) + " elements from byte " + std::to_string(byteOffset) +
            ") reaches past the end of " + viewName + " (" + std::to_string(length) + " bytes)";
    return false;
  }
  view.data = buffer.data() + viewOfBuffer.byteOffset + byteOffset;
  return true;
}

// Checks the accessor's type and count and describes its elements, apart from where they lie.
bool DescribeAccessor(const tinygltf::Model& model, int index, AccessorView& view, std::string& error) {
  const std::string name = "accessor " + std::to_string(index);
  if (index < 0 || size_t(index) >= model.accessors.size()) {
    error = name + " does not exist (the file has " + std::to_string(model.accessors.size()) + ")";
    return false;
  }
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  const int components = ComponentCount(accessor.type);
  if (ComponentSize(accessor.componentType) == 0 || components == 0) {
    error = name + " has a type that no vertex attribute or index uses";
    return false;
  }
  if (accessor.count == 0) {
    error = name + " has no elements";
    return false;
  }
  view = AccessorView();
  view.count = accessor.count;
  view.componentType = accessor.componentType;
  view.components = components;
  view.normalized = accessor.normalized;
  return true;
}

}  // namespace

bool ViewAccessor(const tinygltf::Model& model, int index, AccessorView& view, std::string& error) {
  if (!DescribeAccessor(model, index, view, error)) return false;
  const std::string name = "accessor " + std::to_string(index);
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  if (accessor.sparse.isSparse) {
    error = name + " is sparse, which is not supported";
    return false;
  }
  // Without a buffer view every element is zero: no surface can come of it, and nothing in the
  // file would bound the count.
  if (accessor.bufferView < 0) {
    error = name + " has no buffer view, so no data";
    return false;
  }
  return PlaceInBufferView(model, accessor.bufferView, accessor.byteOffset, true, name, view, error);
}

bool ViewSparseAccessor(const tinygltf::Model& model, int index, AccessorView& dense, SparseView& sparse,
                        std::string& error) {
  if (!DescribeAccessor(model, index, dense, error)) return false;
  sparse = SparseView();
  const std::string name = "accessor " + std::to_string(index);
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  if (accessor.bufferView >= 0 &&
      !PlaceInBufferView(model, accessor.bufferView, accessor.byteOffset, true, name, dense, error)) {
    return false;
  }
  if (!accessor.sparse.isSparse) {
    if (dense.data != nullptr) return true;
    error = name + " has no buffer view, so no data";
    return false;
  }
  const auto& replaced = accessor.sparse;
  if (replaced.count <= 0 || size_t(replaced.count) > accessor.count) {
    error = name + " replaces " + std::to_string(replaced.count) + " of its " + std::to_string(accessor.count) +
            " elements";
    return false;
  }
  const int indexType = replaced.indices.componentType;
  if (indexType != kUnsignedByte && indexType != kUnsignedShort && indexType != kUnsignedInt) {
    error = name + "'s sparse indices are not unsigned bytes, shorts or ints";
    return false;
  }
  sparse.indices.count = sparse.values.count = size_t(replaced.count);
  sparse.indices.componentType = indexType;
  sparse.indices.components = 1;
  sparse.values.componentType = dense.componentType;
  sparse.values.components = dense.components;
  sparse.values.normalized = dense.normalized;
  if (replaced.indices.byteOffset < 0 || replaced.values.byteOffset < 0) {
    error = name + "'s sparse data starts at a negative byte offset";
    return false;
  }
  return PlaceInBufferView(model, replaced.indices.bufferView, size_t(replaced.indices.byteOffset), false,
                           name + "'s sparse indices", sparse.indices, error) &&
         PlaceInBufferView(model, replaced.values.bufferView, size_t(replaced.values.byteOffset), false,
                           name + "'s sparse values", sparse.values, error);
}

void ReadFloat2(const AccessorView& view, size_t i, float out[2]) {
  const uint8_t* element = view.Element(i);
  if (view.componentType == kFloat) {
    std::memcpy(out, element, 2 * sizeof(float));
  } else if (view.componentType == kUnsignedShort) {
    uint16_t values[2];
    std::memcpy(values, element, sizeof values);
    out[0] = values[0] / 65535.0f;
    out[1] = values[1] / 65535.0f;
  } else {
    out[0] = element[0] / 255.0f;
    out[1] = element[1] / 255.0f;
  }
}

void ReadColor(const AccessorView& view, size_t i, float out[4]) {
  const uint8_t* element = view.Element(i);
  out[3] = 1.0f;
  const int components = view.components;
  if (view.componentType == kFloat) {
    std::memcpy(out, element, size_t(components) * sizeof(float));
  } else if (view.componentType == kUnsignedShort) {
    uint16_t values[4];
    std::memcpy(values, element, size_t(components) * sizeof(uint16_t));
    for (int c = 0; c < components; ++c) out[c] = values[c] / 65535.0f;
  } else {
    for (int c = 0; c < components; ++c) out[c] = element[c] / 255.0f;
  }
}

std::vector<float> ReadAsFloats(const AccessorView& view) {
  const size_t components = size_t(view.components);
  std::vector<float> values(view.count * components);
  for (size_t i = 0; i < view.count; ++i) {
    const uint8_t* element = view.Element(i);
    float* out = &values[i * components];
    for (size_t c = 0; c < components; ++c) {
      float value = 0.0f, scale = 1.0f;
      switch (view.componentType) {
        case kFloat:
          std::memcpy(&value, element + 4 * c, sizeof value);
          break;
        case kByte:
          value = float(int8_t(element[c]));
          scale = 127.0f;
          break;
        case kUnsignedByte:
          value = float(element[c]);
          scale = 255.0f;
          break;
        case kShort: {
          int16_t v;
          std::memcpy(&v, element + 2 * c, sizeof v);
          value = float(v);
          scale = 32767.0f;
          break;
        }
        case kUnsignedShort: {
          uint16_t v;
          std::memcpy(&v, element + 2 * c, sizeof v);
          value = float(v);
          scale = 65535.0f;
          break;
        }
        default:
          break;
      }
      // The most negative signed value is -1 as well, not a little past it.
      out[c] = view.normalized && view.componentType != kFloat ? std::max(value / scale, -1.0f) : value;
    }
  }
  return values;
}

}  // namespace RenderLib::Gltf
