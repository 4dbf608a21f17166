#pragma once

#include <cstdint>

// The numbers and words glTF files use, shared by the reader and the writer so that both speak
// the same vocabulary.
namespace RenderLib::Gltf {

// An accessor's component type.
enum ComponentType : int {
  kByte = 5120,
  kUnsignedByte = 5121,
  kShort = 5122,
  kUnsignedShort = 5123,
  kUnsignedInt = 5125,
  kFloat = 5126,
};

// An accessor's element type.
inline constexpr const char* kScalar = "SCALAR";
inline constexpr const char* kVec2 = "VEC2";
inline constexpr const char* kVec3 = "VEC3";
inline constexpr const char* kVec4 = "VEC4";

// How a primitive's indices make shapes; a primitive that gives none draws triangles.
enum PrimitiveMode : int {
  kModePoints = 0,
  kModeLines = 1,
  kModeLineLoop = 2,
  kModeLineStrip = 3,
  kModeTriangles = 4,
  kModeTriangleStrip = 5,
  kModeTriangleFan = 6,
};

// What a buffer view is bound as.
enum BufferTarget : int {
  kArrayBuffer = 34962,
  kElementArrayBuffer = 34963,
};

// A sampler's filters and wrapping.
enum SamplerSetting : int {
  kNearest = 9728,
  kLinear = 9729,
  kLinearMipmapLinear = 9987,
  kRepeat = 10497,
};

// The words of a binary glTF file, read as little-endian: its magic ("glTF"), version and the
// two chunk types.
inline constexpr uint32_t kGlbMagic = 0x46546C67u;
inline constexpr uint32_t kGlbVersion = 2u;
inline constexpr uint32_t kGlbJsonChunk = 0x4E4F534Au;
inline constexpr uint32_t kGlbBinaryChunk = 0x004E4942u;

}  // namespace RenderLib::Gltf
