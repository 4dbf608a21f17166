#include "assetexport/aged_look.h"

#include <cmath>

#include "shipped_media/shipped_files.h"

namespace AssetExport::AgedLook {
namespace Rules {

// Just enough of GLSL's vector types and built-in functions for the shared rules to compile.
struct vec2 {
  float x, y;
  constexpr vec2(float a, float b) : x(a), y(b) {}
};

struct vec3 {
  float x, y, z;
  explicit constexpr vec3(float s) : x(s), y(s), z(s) {}
  constexpr vec3(float a, float b, float c) : x(a), y(b), z(c) {}
};

vec3 operator+(vec3 a, vec3 b) { return vec3(a.x + b.x, a.y + b.y, a.z + b.z); }
vec3 operator-(vec3 a, vec3 b) { return vec3(a.x - b.x, a.y - b.y, a.z - b.z); }
vec3 operator-(vec3 a, float s) { return vec3(a.x - s, a.y - s, a.z - s); }
vec3 operator*(vec3 a, vec3 b) { return vec3(a.x * b.x, a.y * b.y, a.z * b.z); }
vec3 operator*(vec3 a, float s) { return vec3(a.x * s, a.y * s, a.z * s); }
vec3 operator*(float s, vec3 a) { return a * s; }
vec3 operator/(vec3 a, float s) { return vec3(a.x / s, a.y / s, a.z / s); }

float exp(float x) { return std::exp(x); }
float abs(float x) { return std::fabs(x); }
vec3 abs(vec3 a) { return vec3(abs(a.x), abs(a.y), abs(a.z)); }
float max(float a, float b) { return a > b ? a : b; }
vec3 max(vec3 a, float b) { return vec3(max(a.x, b), max(a.y, b), max(a.z, b)); }
float clamp(float x, float low, float high) { return x < low ? low : (x > high ? high : x); }
float mix(float a, float b, float t) { return a + (b - a) * t; }
vec3 mix(vec3 a, vec3 b, float t) { return a + (b - a) * t; }
float dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
vec3 normalize(vec3 a) { return a * (1.0f / std::sqrt(dot(a, a))); }

#include "media/aged_look.glsl"

vec3 In(const Vector3& v) { return vec3(v.x, v.y, v.z); }
Vector3 Out(vec3 v) { return Vector3(v.x, v.y, v.z); }

}  // namespace Rules

float PatinaCover(float rustMask, float rustFactor) { return Rules::PatinaCover(rustMask, rustFactor); }
float DirtCover(float dirtMask, float dirtFactor) { return Rules::DirtCover(dirtMask, dirtFactor); }

Vector3 SideWeights(const Vector3& unitNormal) { return Rules::Out(Rules::SideWeights(Rules::In(unitNormal))); }

void SideCoordinates(int axis, const Vector3& repeats, float* s, float* t) {
  const Rules::vec2 coordinates = Rules::SideCoordinates(axis, Rules::In(repeats));
  *s = coordinates.x;
  *t = coordinates.y;
}

Vector3 SideSlope(int axis, float red, float green) { return Rules::Out(Rules::SideSlope(axis, red, green)); }

Vector3 MaterialRepeats(const Vector3& position) { return position * Rules::kMaterialScale; }

Vector3 BronzeSlope(const Vector3& slope) { return Rules::Out(Rules::BronzeSlope(Rules::In(slope))); }

Vector3 TangentSlope(const Vector3& tangent, const Vector3& bitangent, float red, float green, float blue, float scale) {
  return Rules::Out(Rules::TangentSlope(Rules::In(tangent), Rules::In(bitangent), red, green, blue, scale));
}

AgedMaterial AgeMaterial(const Vector3& normal, const BaseLook& base, const Vector3& patinaColor,
                         const Vector3& patinaSlope, float patina, float dirt, float dirtColor, float bump) {
  const Rules::AgedMaterial aged =
      Rules::AgeMaterial(Rules::In(normal), Rules::BaseLook(Rules::In(base.color), Rules::In(base.slope), base.metallic,
                                                            base.roughness),
                         Rules::In(patinaColor), Rules::In(patinaSlope), patina, dirt, dirtColor, bump);
  return {Rules::Out(aged.color), Rules::Out(aged.normal), aged.metallic, aged.roughness};
}

namespace {

Rules::LookLayer RulesLayer(const LookLayer& layer) {
  return Rules::LookLayer(layer.blend == LookBlend::kMultiply ? Rules::kLayerMultiply : Rules::kLayerCover, layer.gain,
                          layer.start, layer.end, layer.surface.metallic, layer.surface.roughness);
}

Rules::BaseLook RulesBase(const BaseLook& base) {
  return Rules::BaseLook(Rules::In(base.color), Rules::In(base.slope), base.metallic, base.roughness);
}

}  // namespace

float LayerCover(float mask, float factor, const LookLayer& layer) {
  return Rules::LayerCover(mask, factor, RulesLayer(layer));
}

BaseLook ApplyLayer(const BaseLook& under, const LookLayer& layer, const Vector3& color, const Vector3& slope,
                    float cover) {
  const Rules::BaseLook applied =
      Rules::ApplyLayer(RulesBase(under), RulesLayer(layer), Rules::In(color), Rules::In(slope), cover);
  return {Rules::Out(applied.color), Rules::Out(applied.slope), applied.metallic, applied.roughness};
}

AgedMaterial FinishLook(const Vector3& normal, const BaseLook& layered, float bump) {
  const Rules::AgedMaterial aged = Rules::FinishLook(Rules::In(normal), RulesBase(layered), bump);
  return {Rules::Out(aged.color), Rules::Out(aged.normal), aged.metallic, aged.roughness};
}

float BronzeMetallic() { return Rules::kBronzeMetallic; }
float BronzeRoughness() { return Rules::kBronzeRoughness; }

}  // namespace AssetExport::AgedLook

namespace AssetExport {

Look BronzeLook() {
  namespace R = AgedLook::Rules;
  Look look;
  look.name = "bronze";
  look.description = "Cast bronze turning to green verdigris, with dirt in the hollows";
  look.base.texture = ShippedMedia::kBronzeTexture;
  look.base.normalTexture = ShippedMedia::kBronzeNormalTexture;
  look.base.normalStrength = R::kBaseRelief;
  look.base.metallic = R::kBronzeMetallic;
  look.base.roughness = R::kBronzeRoughness;
  LookLayer crust;
  crust.mask = LookMask::kRust;
  crust.blend = LookBlend::kCover;
  crust.gain = R::kRustGain;
  crust.surface.color = {R::kPatinaBrightness, R::kPatinaBrightness, R::kPatinaBrightness};
  crust.surface.texture = ShippedMedia::kPatinaTexture;
  crust.surface.normalTexture = ShippedMedia::kPatinaNormalTexture;
  crust.surface.metallic = 0.0f;
  crust.surface.roughness = R::kCrustRoughness;
  LookLayer dirt;
  dirt.mask = LookMask::kDirt;
  dirt.blend = LookBlend::kMultiply;
  dirt.gain = R::kDirtGain;
  const R::vec3 tint = R::kDirtHue * AgedLook::kWindowDirtColor;
  dirt.surface.color = {tint.x, tint.y, tint.z};
  dirt.surface.metallic = 1.0f - R::kDirtDulling;
  dirt.surface.roughness = R::kDirtRoughness;
  look.layers = {crust, dirt};
  return look;
}

}  // namespace AssetExport
