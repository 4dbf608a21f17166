#include "assetexport/aged_look.h"

#include <cmath>

namespace AssetExport::AgedLook {
namespace Rules {

// Just enough of GLSL's vector types and built-in functions for the shared rules to compile.
struct vec2 {
  float x, y;
  vec2(float a, float b) : x(a), y(b) {}
};

struct vec3 {
  float x, y, z;
  explicit vec3(float s) : x(s), y(s), z(s) {}
  vec3(float a, float b, float c) : x(a), y(b), z(c) {}
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

Vector3 AgedNormal(const Vector3& normal, const Vector3& baseSlope, const Vector3& patinaSlope, float patina,
                   float bump) {
  return Rules::Out(Rules::AgedNormal(Rules::In(normal), Rules::In(baseSlope), Rules::In(patinaSlope), patina, bump));
}

Vector3 AgedColor(const Vector3& baseColor, const Vector3& patinaColor, float patina, float dirt, float dirtColor) {
  return Rules::Out(Rules::AgedColor(Rules::In(baseColor), Rules::In(patinaColor), patina, dirt, dirtColor));
}

float AgedMetallic(float baseMetallic, float patina, float dirt) {
  return Rules::AgedMetallic(baseMetallic, patina, dirt);
}

float AgedRoughness(float baseRoughness, float patina, float dirt) {
  return Rules::AgedRoughness(baseRoughness, patina, dirt);
}

float BronzeMetallic() { return Rules::kBronzeMetallic; }
float BronzeRoughness() { return Rules::kBronzeRoughness; }

}  // namespace AssetExport::AgedLook
