#include "assetexport/texture_bake.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "assetexport/chart_fill.h"
#include "renderlib/texel_triangle.h"
#include "renderlib/vertex_frames.h"

namespace AssetExport {
namespace {

using RenderLib::Vector3;

float DecodeSrgb(float encoded) {
  return encoded <= 0.04045f ? encoded / 12.92f : std::pow((encoded + 0.055f) / 1.055f, 2.4f);
}

float EncodeSrgb(float linear) {
  return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

uint8_t ToByte(float value) { return uint8_t(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

// A point of a face in texture space: where it is and which way its surface faces.
struct SurfacePoint {
  Vector3 position;
  Vector3 normal;   // unit
  Vector3 tangent;  // unit, across the normal
  float handedness;
  float u, v;
};

// The look at one texel, written into the three textures.
class TexelShader {
public:
  TexelShader(const BakeInputs& inputs) : inputs(inputs), shipped(*inputs.shipped) {}

  void SetBase(const BaseMaterial* material) { base = material; }

  void Shade(const SurfacePoint& point, uint8_t* color, uint8_t* metallicRoughness, uint8_t* normalTexel) const {
    const LookSettings& look = inputs.look;
    const float maskT = 1.0f - point.v;
    float rust = 0.0f, dirt = 0.0f;
    if (!inputs.rustMask->Empty()) inputs.rustMask->Sample(point.u, maskT, &rust);
    if (!inputs.dirtMask->Empty()) inputs.dirtMask->Sample(point.u, maskT, &dirt);
    const float patina = AgedLook::PatinaCover(rust, look.rustFactor);
    const float dirtCover = AgedLook::DirtCover(dirt, look.dirtFactor);
    const Vector3 bitangent = Cross(point.normal, point.tangent) * point.handedness;

    // The shipped materials from the sides the normal faces, each side by its weight.
    const Vector3 weights = AgedLook::SideWeights(point.normal);
    const float total = weights.x + weights.y + weights.z;
    const Vector3 repeats = AgedLook::MaterialRepeats(point.position);
    Vector3 bronze, bronzeSlope, patinaColor, patinaSlope;
    for (int axis = 0; axis < 3; ++axis) {
      const float weight = weights[axis] / total;
      if (!(weight > 0.0f)) continue;
      float s, t, texel[3];
      AgedLook::SideCoordinates(axis, repeats, &s, &t);
      if (!base->own) {
        shipped.bronze.Sample(s, t, texel);
        bronze += Vector3(texel[0], texel[1], texel[2]) * weight;
        shipped.bronzeNormal.Sample(s, t, texel);
        bronzeSlope += AgedLook::SideSlope(axis, texel[0], texel[1]) * weight;
      }
      shipped.patina.Sample(s, t, texel);
      patinaColor += Vector3(texel[0], texel[1], texel[2]) * weight;
      shipped.patinaNormal.Sample(s, t, texel);
      patinaSlope += AgedLook::SideSlope(axis, texel[0], texel[1]) * weight;
    }

    AgedLook::BaseLook baseLook{bronze, AgedLook::BronzeSlope(bronzeSlope), AgedLook::BronzeMetallic(),
                                AgedLook::BronzeRoughness()};
    if (base->own) baseLook = OwnBase(point, bitangent);

    const AgedLook::AgedMaterial aged = AgedLook::AgeMaterial(point.normal, baseLook, patinaColor, patinaSlope, patina,
                                                              dirtCover, look.dirtColor, look.bump);
    color[0] = ToByte(aged.color.x);
    color[1] = ToByte(aged.color.y);
    color[2] = ToByte(aged.color.z);
    metallicRoughness[0] = 255;
    metallicRoughness[1] = ToByte(aged.roughness);
    metallicRoughness[2] = ToByte(aged.metallic);
    normalTexel[0] = ToByte(Dot(aged.normal, point.tangent) * 0.5f + 0.5f);
    normalTexel[1] = ToByte(Dot(aged.normal, bitangent) * 0.5f + 0.5f);
    normalTexel[2] = ToByte(Dot(aged.normal, point.normal) * 0.5f + 0.5f);
  }

private:
  // The model's own material at the point: its colour in the same encoding the shipped
  // textures have (sRGB), its metal and roughness, and its normal map as a slope.
  AgedLook::BaseLook OwnBase(const SurfacePoint& point, const Vector3& bitangent) const {
    AgedLook::BaseLook own;
    float texel[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float t = 1.0f - point.v;
    if (!base->color.Empty()) base->color.Sample(point.u, t, texel);
    own.color = Vector3(EncodeSrgb(DecodeSrgb(texel[0]) * base->colorFactor[0]),
                        EncodeSrgb(DecodeSrgb(texel[1]) * base->colorFactor[1]),
                        EncodeSrgb(DecodeSrgb(texel[2]) * base->colorFactor[2]));
    own.metallic = base->metallic;
    own.roughness = base->roughness;
    if (!base->metallicRoughness.Empty()) {
      base->metallicRoughness.Sample(point.u, t, texel);
      own.roughness *= texel[1];
      own.metallic *= texel[2];
    }
    if (!base->normal.Empty()) {
      base->normal.Sample(point.u, t, texel);
      own.slope = AgedLook::TangentSlope(point.tangent, bitangent, texel[0], texel[1], texel[2], base->normalScale);
    }
    return own;
  }

  const BakeInputs& inputs;
  const ShippedMaterials& shipped;
  const BaseMaterial* base = nullptr;
};

// The corners of a face as the bake reads them.
struct Corner {
  const RenderLib::VertexNormalUV* vertex;
  const SurfaceFrame* frame;
  float x, y;  // in texels, rows from the top
};

// Shades every texel whose centre lies inside the face (its edges included), wrapping texel
// addresses around the texture.
void DrawFace(const Corner (&c)[3], uint32_t size, const TexelShader& shader, BakedTextures* baked,
              std::vector<uint8_t>* covered) {
  const float left = std::min({c[0].x, c[1].x, c[2].x}), right = std::max({c[0].x, c[1].x, c[2].x});
  const float top = std::min({c[0].y, c[1].y, c[2].y}), bottom = std::max({c[0].y, c[1].y, c[2].y});
  if (!(right - left <= float(size)) || !(bottom - top <= float(size))) return;  // not finite, or wider than the texture
  const RenderLib::TexelTriangle texels{{c[0].x, c[1].x, c[2].x}, {c[0].y, c[1].y, c[2].y}};
  const int64_t wrap = int64_t(size);
  RenderLib::ForEachTexelIn(texels, RenderLib::TriangleEdges::kIncluded, RenderLib::TexelWindow(),
                            [&](int64_t px, int64_t py, float w0, float w1, float w2) {
    SurfacePoint point;
    point.position = c[0].vertex->position * w0 + c[1].vertex->position * w1 + c[2].vertex->position * w2;
    point.normal = c[0].frame->normal * w0 + c[1].frame->normal * w1 + c[2].frame->normal * w2;
    if (!RenderLib::ScaleToUnit(point.normal)) point.normal = c[0].frame->normal;
    Vector3 tangent = c[0].frame->tangent * w0 + c[1].frame->tangent * w1 + c[2].frame->tangent * w2;
    tangent -= point.normal * Dot(point.normal, tangent);
    if (!RenderLib::ScaleToUnit(tangent)) tangent = RenderLib::AnyPerpendicular(point.normal);
    point.tangent = tangent;
    point.handedness = c[0].frame->handedness * w0 + c[1].frame->handedness * w1 + c[2].frame->handedness * w2 < 0.0f
                           ? -1.0f
                           : 1.0f;
    point.u = c[0].vertex->u * w0 + c[1].vertex->u * w1 + c[2].vertex->u * w2;
    point.v = c[0].vertex->v * w0 + c[1].vertex->v * w1 + c[2].vertex->v * w2;
    const size_t texel = size_t(((py % wrap) + wrap) % wrap) * size + size_t(((px % wrap) + wrap) % wrap);
    shader.Shade(point, &baked->baseColor[texel * 3], &baked->metallicRoughness[texel * 3], &baked->normal[texel * 3]);
    (*covered)[texel] = 1;
  });
}

}  // namespace

bool BakeAgedTextures(const BakeInputs& inputs, uint32_t size, BakedTextures* baked, std::string* error) {
  if (size < kMinBakeSize || size > kMaxBakeSize) {
    *error = "the baked textures' size " + std::to_string(size) + " is outside " + std::to_string(kMinBakeSize) +
             ".." + std::to_string(kMaxBakeSize);
    return false;
  }
  if (inputs.model == nullptr || inputs.frames == nullptr || inputs.shipped == nullptr || inputs.rustMask == nullptr ||
      inputs.dirtMask == nullptr || inputs.frames->size() != inputs.model->groups.size()) {
    *error = "the bake was not given a model with its frames, the shipped materials and the masks";
    return false;
  }
  const size_t texels = size_t(size) * size;
  std::vector<uint8_t> covered;
  try {
    baked->size = size;
    baked->baseColor.assign(texels * 3, 0);
    baked->metallicRoughness.assign(texels * 3, 0);
    baked->normal.assign(texels * 3, 0);
    covered.assign(texels, 0);
  } catch (const std::bad_alloc&) {
    *baked = BakedTextures();
    *error = "no memory for three " + std::to_string(size) + " x " + std::to_string(size) + " textures";
    return false;
  }

  const RenderLib::ObjModel& model = *inputs.model;
  std::vector<BaseMaterial> materials;
  for (const RenderLib::MaterialHandle& material : model.materials) materials.push_back(BaseMaterialOf(material.Get()));
  const BaseMaterial bronze;
  TexelShader shader(inputs);
  for (size_t g = 0; g < model.groups.size(); ++g) {
    const RenderLib::MeshGroup& group = model.groups[g];
    const std::vector<SurfaceFrame>& frames = (*inputs.frames)[g];
    const size_t vertexCount = group.vertices.size();
    if (frames.size() != vertexCount) continue;
    const bool hasMaterial = group.materialIndex >= 0 && size_t(group.materialIndex) < materials.size();
    shader.SetBase(hasMaterial ? &materials[size_t(group.materialIndex)] : &bronze);
    const size_t indexCount = group.indices.size();
    for (size_t i = 0; i + 2 < indexCount; i += 3) {
      if (inputs.stop != nullptr && (i & 1023) == 0 && inputs.stop->load(std::memory_order_relaxed)) {
        *baked = BakedTextures();
        *error = kStopped;
        return false;
      }
      Corner corners[3];
      bool valid = true;
      for (int k = 0; k < 3; ++k) {
        const int32_t index = group.indices[i + size_t(k)];
        if (index < 0 || size_t(index) >= vertexCount) {
          valid = false;
          break;
        }
        const RenderLib::VertexNormalUV& vertex = group.vertices[size_t(index)];
        corners[k] = {&vertex, &frames[size_t(index)], vertex.u * float(size), (1.0f - vertex.v) * float(size)};
      }
      if (valid) DrawFace(corners, size, shader, baked, &covered);
    }
  }

  uint8_t* const planes[3] = {baked->baseColor.data(), baked->metallicRoughness.data(), baked->normal.data()};
  const uint32_t channels[3] = {3, 3, 3};
  FillOutsideCharts(covered, size, planes, channels, 3);
  return true;
}

}  // namespace AssetExport
