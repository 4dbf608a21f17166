#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

// The objects the graphics device makes and the effects bind: textures and their views, render
// and depth targets, vertex buffers and input layouts. Each is owned by whoever asked the device
// for it (a std::unique_ptr) and frees its GPU object when destroyed; every one of them must be
// destroyed while the device's context is still alive.
namespace Platform {

enum class Format {
  Unknown,
  R8G8B8A8_UNORM,
  R8G8B8A8_UNORM_SRGB,
  R32G32B32A32_FLOAT,
  R32G32B32_FLOAT,
  R32G32_FLOAT,
  R32_FLOAT,
  R32_UINT,
  D32_FLOAT,
  D24_UNORM_S8_UINT,
  R8_UNORM,
  R16G16B16_FLOAT,
  R16G16_FLOAT,
};

// Bytes of one element of a vertex or texel format.
uint32_t FormatBytes(Format format);

// How a texture is read between and beyond its texels. Linear minification reads one mip level
// (the nearest), nearest reads the nearest texel of it.
enum class TextureWrap { Repeat, ClampToEdge, MirroredRepeat };
struct TextureSampling {
  bool nearestMagnification = false;
  bool nearestMinification = false;
  TextureWrap wrapU = TextureWrap::Repeat;
  TextureWrap wrapV = TextureWrap::Repeat;
};

// A 2D texture as a shader reads it. Empty (GlTexture() == 0) views may be bound: the shader then
// reads (0, 0, 0, 1), which is how an unloaded mask counts as none.
class ShaderResourceView {
public:
  ShaderResourceView(uint32_t glTexture, uint32_t width, uint32_t height, Format format);
  ~ShaderResourceView();
  ShaderResourceView(const ShaderResourceView&) = delete;
  ShaderResourceView& operator=(const ShaderResourceView&) = delete;

  uint32_t GlTexture() const { return glTexture; }
  uint32_t Width() const { return width; }
  uint32_t Height() const { return height; }
  Format TextureFormat() const { return format; }

private:
  uint32_t glTexture;
  uint32_t width;
  uint32_t height;
  Format format;
};

// One vertex attribute as a vertex buffer holds it.
struct InputElement {
  const char* semantic;  // "POSITION", "NORMAL", "TEXCOORD", "COLOR", "TANGENT", "BINORMAL"
  uint32_t semanticIndex;
  Format format;
  uint32_t alignedByteOffset;
};

// What a pass's vertex program reads: semantic and index of each of its inputs.
struct InputSignatureElement {
  std::string semantic;
  uint32_t semanticIndex = 0;
};
using InputSignature = std::vector<InputSignatureElement>;

// Vertex programs name their inputs after the semantics (POSITION, NORMAL, TEXCOORD or TEXCOORD0,
// TEXCOORD1, COLOR, TANGENT, BINORMAL; an index of 0 may be left out), and every program binds
// each semantic to the same attribute location, so one input layout serves every pass.
// Returns -1 for a name or index outside the table.
int AttributeLocation(const std::string& semantic, uint32_t semanticIndex);
// Splits an attribute name such as "TEXCOORD1" into its semantic and index. False when the name
// is no known semantic.
bool ParseAttributeName(const std::string& name, std::string* semantic, uint32_t* semanticIndex);

}  // namespace Platform
