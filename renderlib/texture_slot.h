#pragma once

#include <cmath>
#include <cstdint>

namespace RenderLib {

// How a material uses its base colour's alpha channel (glTF's alphaMode).
enum class AlphaMode : int32_t { kOpaque, kMask, kBlend };

// A texture's placement as glTF's KHR_texture_transform gives it, on coordinates as glTF writes
// them (v growing downwards): uv' = translate(offset) * rotate(rotation) * scale(scale) * uv.
struct TextureTransform {
  float offset[2] = {0.0f, 0.0f};
  float rotation = 0.0f;  // radians, anticlockwise in the image as glTF shows it
  float scale[2] = {1.0f, 1.0f};

  bool IsIdentity() const {
    return offset[0] == 0.0f && offset[1] == 0.0f && rotation == 0.0f && scale[0] == 1.0f && scale[1] == 1.0f;
  }

  // Transforms glTF-convention coordinates (v downwards).
  void Apply(float u, float v, float& outU, float& outV) const {
    const float c = std::cos(rotation), s = std::sin(rotation);
    const float su = scale[0] * u, sv = scale[1] * v;
    outU = c * su + s * sv + offset[0];
    outV = -s * su + c * sv + offset[1];
  }
};

// The glTF sampler values a texture asks for (OpenGL enums); -1 for a filter not given.
inline constexpr int32_t kWrapRepeat = 10497;
inline constexpr int32_t kWrapClampToEdge = 33071;
inline constexpr int32_t kWrapMirroredRepeat = 33648;
inline constexpr int32_t kFilterNearest = 9728;
inline constexpr int32_t kFilterLinear = 9729;

// How one of a material's maps is laid on the surface: which texture coordinate set it reads,
// through which transform, and how it is filtered and wrapped.
struct TextureSlot {
  int32_t texCoord = 0;  // TEXCOORD_<n>: 0 or 1
  TextureTransform transform;
  int32_t magFilter = -1;
  int32_t minFilter = -1;
  int32_t wrapS = kWrapRepeat;
  int32_t wrapT = kWrapRepeat;
};

}  // namespace RenderLib
