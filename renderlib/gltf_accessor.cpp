#include "renderlib/gltf_accessor.h"

#include <tiny_gltf.h>

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

bool ViewAccessor(const tinygltf::Model& model, int index, AccessorView& view, std::string& error) {
  const std::string name = "accessor " + std::to_string(index);
  if (index < 0 || size_t(index) >= model.accessors.size()) {
    error = name + " does not exist (the file has " + std::to_string(model.accessors.size()) + ")";
    return false;
  }
  const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
  if (accessor.sparse.isSparse) {
    error = name + " is sparse, which is not supported";
    return false;
  }
  const size_t componentSize = ComponentSize(accessor.componentType);
  const int components = ComponentCount(accessor.type);
  if (componentSize == 0 || components == 0) {
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
  const size_t elementSize = componentSize * size_t(components);
  view.stride = elementSize;
  // Without a buffer view every element is zero: no surface can come of it, and nothing in the
  // file would bound the count.
  if (accessor.bufferView < 0) {
    error = name + " has no buffer view, so no data";
    return false;
  }

  if (size_t(accessor.bufferView) >= model.bufferViews.size()) {
    error = name + " names buffer view " + std::to_string(accessor.bufferView) + ", which does not exist";
    return false;
  }
  const tinygltf::BufferView& bufferView = model.bufferViews[size_t(accessor.bufferView)];
  const std::string viewName = "buffer view " + std::to_string(accessor.bufferView);
  if (bufferView.buffer < 0 || size_t(bufferView.buffer) >= model.buffers.size()) {
    error = viewName + " names buffer " + std::to_string(bufferView.buffer) + ", which does not exist";
    return false;
  }
  const std::vector<unsigned char>& buffer = model.buffers[size_t(bufferView.buffer)].data;
  if (bufferView.byteOffset > buffer.size() || bufferView.byteLength > buffer.size() - bufferView.byteOffset) {
    error = viewName + " (bytes " + std::to_string(bufferView.byteOffset) + " to " +
            std::to_string(bufferView.byteOffset + bufferView.byteLength) + ") reaches past the end of buffer " +
            std::to_string(bufferView.buffer) + " (" + std::to_string(buffer.size()) + " bytes)";
    return false;
  }
  if (bufferView.byteStride != 0) {
    if (bufferView.byteStride < elementSize) {
      error = viewName + " has a stride of " + std::to_string(bufferView.byteStride) + " bytes, less than the " +
              std::to_string(elementSize) + " bytes of an element of " + name;
      return false;
    }
    view.stride = bufferView.byteStride;
  }
  // Worked out by division, so that no count or stride a file names can overflow.
  const size_t length = bufferView.byteLength;
  const bool fits = accessor.byteOffset <= length && elementSize <= length - accessor.byteOffset &&
                    accessor.count - 1 <= (length - accessor.byteOffset - elementSize) / view.stride;
  if (!fits) {
    error = name + " (" + std::to_string(accessor.count) + " elements from byte " +
            std::to_string(accessor.byteOffset) + ") reaches past the end of " + viewName + " (" +
            std::to_string(length) + " bytes)";
    return false;
  }
  view.data = buffer.data() + bufferView.byteOffset + accessor.byteOffset;
  return true;
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

}  // namespace RenderLib::Gltf
