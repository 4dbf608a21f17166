#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// A look: how the masks turn a base material into an aged one (see docs/looks.md). Plain data,
// read from a look file by ReadLookFile and evaluated by the rules in media/aged_look.glsl.
namespace AssetExport {

enum class LookMask { kRust, kDirt, kHumidity };
// Cover mixes towards the layer's material; multiply tints the colour, scales the metal and
// roughens, leaving the relief (a film such as dirt).
enum class LookBlend { kCover, kMultiply };

// A colour or texture, laid on from three sides in object space as the shipped materials are.
// texture and normalTexture: a file path (as the reader resolved it) or a shipped media file
// name, empty for none; the texture's texels are multiplied by color.
struct LookSurface {
  std::array<float, 3> color = {1.0f, 1.0f, 1.0f};  // sRGB-encoded
  std::string texture;
  std::string normalTexture;
  float normalStrength = 1.0f;
  float metallic = 0.0f;
  float roughness = 0.5f;

  bool operator==(const LookSurface&) const = default;
};

struct LookLayer {
  LookMask mask = LookMask::kRust;
  LookBlend blend = LookBlend::kCover;
  // The mask's share (its value by the factor of its slider) mapped from start..end to 0..1, then
  // through a saturating ramp of gain (0: linear).
  float gain = 0.0f;
  float start = 0.0f;
  float end = 1.0f;
  LookSurface surface;

  bool operator==(const LookLayer&) const = default;
};

inline constexpr size_t kMaxLookLayers = 4;

struct Look {
  std::string name;
  std::string description;
  // The base on faces without a material of the model's own (a model's own material always
  // shows under the layers). ownBase: the look names none, and those faces are a plain grey.
  bool ownBase = false;
  LookSurface base;
  std::vector<LookLayer> layers;  // at most kMaxLookLayers, applied in order

  bool operator==(const Look&) const = default;

  bool Uses(LookMask mask) const {
    for (const LookLayer& layer : layers) {
      if (layer.mask == mask) return true;
    }
    return false;
  }
};

// The shipped bronze turning to verdigris with dirt in the hollows, built from the rules' own
// constants (media/looks/bronze.json says the same): the look when none is chosen.
Look BronzeLook();

}  // namespace AssetExport
