#pragma once

#include "assetexport/look.h"
#include "renderlib/vector3.h"

// The rules of the weathered look for code on the processor: the same text the viewer's effect
// runs (media/aged_look.glsl), compiled as C++. See that file for what each rule means.
namespace AssetExport::AgedLook {

using RenderLib::Vector3;

// What a texel of the masks makes of the surface, 0 to 1.
float PatinaCover(float rustMask, float rustFactor);
float DirtCover(float dirtMask, float dirtFactor);

// Object-space material projection: the weights of the x, y and z sides for a unit normal, where
// a point in material repeats reads a side (s along the image's columns, t down its rows), and a
// normal map texel's slope on that side as an object-space direction.
Vector3 SideWeights(const Vector3& unitNormal);
void SideCoordinates(int axis, const Vector3& repeats, float* s, float* t);
Vector3 SideSlope(int axis, float red, float green);
// A point's position in material repeats.
Vector3 MaterialRepeats(const Vector3& position);

Vector3 BronzeSlope(const Vector3& slope);
// A tangent-space normal map texel as a slope across the surface, in the frame's space.
Vector3 TangentSlope(const Vector3& tangent, const Vector3& bitangent, float red, float green, float blue, float scale);

// The material under the patina at a point (colour sRGB-encoded) and the aged material made of it.
struct BaseLook {
  Vector3 color;
  Vector3 slope;
  float metallic = 0.0f;
  float roughness = 1.0f;
};
struct AgedMaterial {
  Vector3 color;
  Vector3 normal;
  float metallic = 0.0f;
  float roughness = 1.0f;
};
AgedMaterial AgeMaterial(const Vector3& normal, const BaseLook& base, const Vector3& patinaColor,
                         const Vector3& patinaSlope, float patina, float dirt, float dirtColor, float bump);

// One layer of a look: its cover at a mask texel, and the material under it with it applied
// (color: the layer's texture times its colour, slope: its normal map's, by its strength).
float LayerCover(float mask, float factor, const LookLayer& layer);
BaseLook ApplyLayer(const BaseLook& under, const LookLayer& layer, const Vector3& color, const Vector3& slope,
                    float cover);
// The layered material on the surface's unit normal, its slope scaled by bump.
AgedMaterial FinishLook(const Vector3& normal, const BaseLook& layered, float bump);

// The shipped bronze's metallic and roughness.
float BronzeMetallic();
float BronzeRoughness();

// The values the window sets for the look's effect variables "DirtColor" and "Bump".
inline constexpr float kWindowDirtColor = 0.3f;
inline constexpr float kWindowBump = 1.0f;

}  // namespace AssetExport::AgedLook
