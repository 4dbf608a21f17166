#include "platform/gpu_resources.h"

#include <epoxy/gl.h>

#include <array>
#include <cctype>

namespace Platform {
namespace {

struct SemanticSlot {
  const char* semantic;
  int firstLocation;
  uint32_t count;  // how many indices the semantic may take
};

// Locations 0..9; a GL 3.3 implementation offers at least 16.
constexpr std::array<SemanticSlot, 6> kSemanticSlots = {{
    {"POSITION", 0, 1},
    {"NORMAL", 1, 1},
    {"TEXCOORD", 2, 4},
    {"COLOR", 6, 2},
    {"TANGENT", 8, 1},
    {"BINORMAL", 9, 1},
}};

}  // namespace

uint32_t FormatBytes(Format format) {
  switch (format) {
    case Format::R8G8B8A8_UNORM:
    case Format::R8G8B8A8_UNORM_SRGB:
    case Format::R32_FLOAT:
    case Format::R32_UINT:
    case Format::D32_FLOAT:
    case Format::D24_UNORM_S8_UINT:
      return 4;
    case Format::R8_UNORM:
      return 1;
    case Format::R16G16B16_FLOAT:
      return 6;
    case Format::R16G16_FLOAT:
      return 4;
    case Format::R32G32_FLOAT:
      return 8;
    case Format::R32G32B32_FLOAT:
      return 12;
    case Format::R32G32B32A32_FLOAT:
      return 16;
    case Format::Unknown:
      break;
  }
  return 0;
}

ShaderResourceView::ShaderResourceView(uint32_t glTextureName, uint32_t textureWidth, uint32_t textureHeight,
                                       Format textureFormat)
    : glTexture(glTextureName), width(textureWidth), height(textureHeight), format(textureFormat) {}

ShaderResourceView::~ShaderResourceView() {
  if (glTexture != 0) glDeleteTextures(1, &glTexture);
}

int AttributeLocation(const std::string& semantic, uint32_t semanticIndex) {
  for (const SemanticSlot& slot : kSemanticSlots) {
    if (semantic == slot.semantic) {
      return semanticIndex < slot.count ? slot.firstLocation + static_cast<int>(semanticIndex) : -1;
    }
  }
  return -1;
}

bool ParseAttributeName(const std::string& name, std::string* semantic, uint32_t* semanticIndex) {
  size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  const std::string base = name.substr(0, digits);
  const std::string number = name.substr(digits);
  if (number.size() > 2) return false;
  const uint32_t index = number.empty() ? 0 : static_cast<uint32_t>(std::stoul(number));
  if (AttributeLocation(base, index) < 0) return false;
  if (semantic) *semantic = base;
  if (semanticIndex) *semanticIndex = index;
  return true;
}

}  // namespace Platform
