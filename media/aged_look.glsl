// The weathered look: how the masks turn a base material into an aged one, one layer of a look
// (docs/looks.md) at a time, and how the materials are laid over the model from three sides in
// object space. The shipped bronze's constants are here too; its look file says the same.
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

// One layer of a look: how its mask's texel turns into a cover (the share of the mask shown by
// its factor, mapped from start..end to 0..1, then through a saturating ramp of gain; gain 0 keeps
// it linear) and what the layer does where it covers. kLayerCover mixes towards the layer's
// material; kLayerMultiply tints the colour by the layer's, scales the metal by its metallic and
// roughens to at least its roughness, leaving the relief alone (a film, such as dirt).
const int kLayerCover = 0;
const int kLayerMultiply = 1;
struct LookLayer {
  int blend;
  float gain;
  float start;
  float end;
  float metallic;
  float roughness;
};

float LayerCover(float mask, float factor, LookLayer layer) {
  float amount = clamp((MaskAmount(mask, factor) - layer.start) / max(layer.end - layer.start, 0.000001), 0.0, 1.0);
  return layer.gain > 0.0 ? Ramp(amount, layer.gain) : amount;
}

// The material under a layer with the layer applied by its cover; color and slope: the layer's
// colour (sRGB-encoded, texture times colour) and its normal map's slope at the point.
BaseLook ApplyLayer(BaseLook under, LookLayer layer, vec3 color, vec3 slope, float cover) {
  if (layer.blend == kLayerMultiply) {
    return BaseLook(mix(under.color, under.color * color, cover), under.slope,
                    mix(under.metallic, under.metallic * layer.metallic, cover),
                    mix(under.roughness, max(under.roughness, layer.roughness), cover));
  }
  return BaseLook(mix(under.color, color, cover), mix(under.slope, slope, cover),
                  mix(under.metallic, layer.metallic, cover), mix(under.roughness, layer.roughness, cover));
}

// The layered material on the surface's unit normal: its slope scaled by bump, and only the part
// across the surface tilts it.
AgedMaterial FinishLook(vec3 normal, BaseLook layered, float bump) {
  vec3 slope = layered.slope * bump;
  slope = slope - normal * dot(normal, slope);
  return AgedMaterial(layered.color, normalize(normal + slope), layered.metallic, layered.roughness);
}

// The shipped bronze look's two layers: the verdigris crust covering the metal by the rust mask,
// and dirt darkening it by the dirt mask (its tint kDirtHue times dirtColor).
LookLayer BronzeCrustLayer() { return LookLayer(kLayerCover, kRustGain, 0.0, 1.0, 0.0, kCrustRoughness); }
LookLayer BronzeDirtLayer() { return LookLayer(kLayerMultiply, kDirtGain, 0.0, 1.0, 1.0 - kDirtDulling, kDirtRoughness); }

// The bronze look at a point, as the window shows it: the base under the patina (patinaColor,
// patinaSlope) by the patina's cover, dirt by its cover on top, on the surface's unit normal.
AgedMaterial AgeMaterial(vec3 normal, BaseLook base, vec3 patinaColor, vec3 patinaSlope, float patina, float dirt,
                         float dirtColor, float bump) {
  BaseLook crusted = ApplyLayer(base, BronzeCrustLayer(), patinaColor * kPatinaBrightness, patinaSlope, patina);
  return FinishLook(normal, ApplyLayer(crusted, BronzeDirtLayer(), kDirtHue * dirtColor, crusted.slope, dirt), bump);
}
