// The weathered look: how the rust and dirt masks turn a base material into an aged one, and how
// the base and patina materials are laid over the model from three sides in object space.
// drawmesh.fx takes this file in as a shared block, and the texture bake that exports aged
// assets compiles the same text as C++ (assetexport/aged_look.cpp), so the window and the
// exported textures follow one set of rules. It is therefore written in what GLSL 3.30 and C++
// have in common: no swizzles, no out parameters, no float suffixes, constructors only for
// vec2 and vec3 and the structs declared here.

// The masks are thin after a few steps: a saturating ramp shows light traces clearly and lets
// heavy ones cover the metal completely (mask 1 still gives exactly 1).
const float kRustGain = 10.0;
const float kDirtGain = 6.0;
// The cast metal is smoother than the crust that grows on it: its normal map tilts less.
const float kBaseRelief = 0.45;
// The crust reflects more light than its texture's mean grey suggests.
const float kPatinaBrightness = 1.2;
// Dirt darkens towards DirtColor of the surface's brightness, a little brown.
const vec3 kDirtHue = vec3(1.0, 0.88, 0.74);
// How much of the metal's reflection full dirt takes away.
const float kDirtDulling = 0.7;

// The material textures are laid over the model in object space from three sides: the atlas'
// charts are packed at their own turns, so sampling the material by texture coordinates would
// break its grain at every chart border. The masks, baked in texture space, still go by the
// texture coordinates. kMaterialScale: repeats per unit, about the atlas' own texel density.
const float kMaterialScale = 0.25;
// Each point takes the side its normal faces most; only where two or three sides are within
// kSideBlend of each other (in the normal's components) are they mixed, which hides the seam.
const float kSideBlend = 0.15;

// Metallic and roughness of the shipped materials, for renderers that take them: cast bronze is
// a metal and fairly smooth (about the viewer's highlight of exponent 50), the verdigris crust a
// rough mineral, and dirt a rougher, dull film.
const float kBronzeMetallic = 1.0;
const float kBronzeRoughness = 0.4;
const float kCrustRoughness = 0.85;
const float kDirtRoughness = 0.95;

// How much of a mask shows: the texel's value scaled by its factor (0 to 1).
float MaskAmount(float mask, float factor) { return clamp(mask * factor, 0.0, 1.0); }

float Ramp(float amount, float gain) { return (1.0 - exp(-gain * amount)) / (1.0 - exp(-gain)); }

// How far the patina has taken over, and how dirty the surface is, 0 to 1.
float PatinaCover(float rustMask, float rustFactor) { return Ramp(MaskAmount(rustMask, rustFactor), kRustGain); }
float DirtCover(float dirtMask, float dirtFactor) { return Ramp(MaskAmount(dirtMask, dirtFactor), kDirtGain); }

// The weights of the three sides (x, y, z) for a unit normal: only the sides within kSideBlend
// of the one it faces most get any.
vec3 SideWeights(vec3 normal) {
  vec3 facing = abs(normal);
  return max(facing - (max(facing.x, max(facing.y, facing.z)) - kSideBlend), 0.0);
}

// Where a point in material repeats reads the textures on a side (0 x, 1 y, 2 z), and the object
// directions along which that side's u and v grow.
vec2 SideCoordinates(int axis, vec3 p) {
  if (axis == 0) return vec2(p.z, p.y);
  if (axis == 1) return vec2(p.x, p.z);
  return vec2(p.x, p.y);
}
vec3 SideAlongU(int axis) { return axis == 0 ? vec3(0.0, 0.0, 1.0) : vec3(1.0, 0.0, 0.0); }
vec3 SideAlongV(int axis) { return axis == 1 ? vec3(0.0, 0.0, 1.0) : vec3(0.0, 1.0, 0.0); }

// A normal map texel's slope (red and green, 0 to 1) as an object-space direction on a side.
vec3 SideSlope(int axis, float red, float green) {
  return SideAlongU(axis) * (red * 2.0 - 1.0) + SideAlongV(axis) * (green * 2.0 - 1.0);
}

// A tangent-space normal map texel (red, green, blue, 0 to 1, +Y up) as a slope: the map's normal
// (x, y, z) in the frame (tangent, bitangent, normal) tilts the surface by (x T + y B) / z, which
// AgedNormal adds across the normal. A map normal lying nearly flat is held at kFlattestMapZ, so
// that it tilts the surface far but not to infinity. scale: the material's normal scale.
const float kFlattestMapZ = 0.05;
vec3 TangentSlope(vec3 tangent, vec3 bitangent, float red, float green, float blue, float scale) {
  float x = red * 2.0 - 1.0;
  float y = green * 2.0 - 1.0;
  float z = max(blue * 2.0 - 1.0, kFlattestMapZ);
  return (tangent * (x * scale) + bitangent * (y * scale)) / z;
}

// The shipped bronze's slope, flattened by its relief.
vec3 BronzeSlope(vec3 slope) { return slope * kBaseRelief; }

// The surface's normal: the base's slope, the patina's slope taking over as it grows, scaled by
// bump; only the part of the slope across the surface tilts it.
vec3 AgedNormal(vec3 normal, vec3 baseSlope, vec3 patinaSlope, float patina, float bump) {
  vec3 slope = mix(baseSlope, patinaSlope, patina) * bump;
  slope = slope - normal * dot(normal, slope);
  return normalize(normal + slope);
}

// The surface's colour: the patina taking over the base, then the dirt darkening both.
vec3 AgedColor(vec3 baseColor, vec3 patinaColor, float patina, float dirt, float dirtColor) {
  vec3 color = mix(baseColor, patinaColor * kPatinaBrightness, patina);
  return mix(color, color * (kDirtHue * dirtColor), dirt);
}

// How much of the base's metal still shows: the crust covers it, dirt dulls it.
float AgedMetalShare(float patina, float dirt) { return (1.0 - patina) * (1.0 - kDirtDulling * dirt); }

float AgedMetallic(float baseMetallic, float patina, float dirt) { return baseMetallic * AgedMetalShare(patina, dirt); }

float AgedRoughness(float baseRoughness, float patina, float dirt) {
  float roughness = mix(baseRoughness, kCrustRoughness, patina);
  return mix(roughness, max(roughness, kDirtRoughness), dirt);
}

// The material under the patina at a point: its colour (sRGB-encoded, as the textures it is mixed
// with), its normal map's slope across the surface, its metallic and its roughness.
struct BaseLook {
  vec3 color;
  vec3 slope;
  float metallic;
  float roughness;
};

// The aged material at a point: colour (sRGB-encoded), unit normal, metallic and roughness.
struct AgedMaterial {
  vec3 color;
  vec3 normal;
  float metallic;
  float roughness;
};

// The whole look at a point, as the window shows it and the export bakes it: the base under the
// patina (patinaColor, patinaSlope) by the patina's cover, dirt by its cover on top, on the
// surface's unit normal.
AgedMaterial AgeMaterial(vec3 normal, BaseLook base, vec3 patinaColor, vec3 patinaSlope, float patina, float dirt,
                         float dirtColor, float bump) {
  return AgedMaterial(AgedColor(base.color, patinaColor, patina, dirt, dirtColor),
                      AgedNormal(normal, base.slope, patinaSlope, patina, bump),
                      AgedMetallic(base.metallic, patina, dirt), AgedRoughness(base.roughness, patina, dirt));
}
