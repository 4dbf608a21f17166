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
  // Where the source metallic-roughness and normal maps are read, as TextureSampler's (s, t).
  float metalRough[2];
  float normalMap[2];
};

// A look's colour or texture with its normal map at a point, from the sides the normal faces.
AgedLook::BaseLook SampleSurface(const LookSurface& surface, const SurfaceTextures& textures, const Vector3& weights,
                                 float total, const Vector3& repeats) {
  AgedLook::BaseLook sampled;
  sampled.metallic = surface.metallic;
  sampled.roughness = surface.roughness;
  if (textures.color.Empty() && textures.normal.Empty()) {
    sampled.color = Vector3(1.0f, 1.0f, 1.0f);
  } else {
    for (int axis = 0; axis < 3; ++axis) {
      const float weight = weights[axis] / total;
      if (!(weight > 0.0f)) continue;
      float s, t, texel[3];
      AgedLook::SideCoordinates(axis, repeats, &s, &t);
      if (!textures.color.Empty()) {
        textures.color.Sample(s, t, texel);
        sampled.color += Vector3(texel[0], texel[1], texel[2]) * weight;
      }
      if (!textures.normal.Empty()) {
        textures.normal.Sample(s, t, texel);
        sampled.slope += AgedLook::SideSlope(axis, texel[0], texel[1]) * weight;
      }
    }
    if (textures.color.Empty()) sampled.color = Vector3(1.0f, 1.0f, 1.0f);
  }
  sampled.color = Vector3(sampled.color.x * surface.color[0], sampled.color.y * surface.color[1],
                          sampled.color.z * surface.color[2]);
  sampled.slope = sampled.slope * surface.normalStrength;
  return sampled;
}

// The look at one texel, written into the three textures.
class TexelShader {
public:
  TexelShader(const BakeInputs& inputs) : inputs(inputs), look(*inputs.agedLook), textures(*inputs.textures) {}

  void SetBase(const BaseMaterial* material) { base = material; }

  void Shade(const SurfacePoint& point, uint8_t* color, uint32_t colorChannels, uint8_t* metallicRoughness,
             uint8_t* normalTexel) const {
    const LookSettings& settings = inputs.look;
    const float maskT = 1.0f - point.v;
    const Vector3 bitangent = Cross(point.normal, point.tangent) * point.handedness;
    const Vector3 weights = AgedLook::SideWeights(point.normal);
    const float total = weights.x + weights.y + weights.z;
    const Vector3 repeats = AgedLook::MaterialRepeats(point.position);

    float alpha = 1.0f;
    AgedLook::BaseLook layered = base->own ? OwnBase(point, bitangent, &alpha)
                                           : SampleSurface(look.base, textures.base, weights, total, repeats);
    for (size_t i = 0; i < look.layers.size(); ++i) {
      const LookLayer& layer = look.layers[i];
      float mask = 0.0f, factor = settings.humidityFactor;
      const TextureSampler* sampler = inputs.humidityMask;
      if (layer.mask == LookMask::kRust) {
        sampler = inputs.rustMask;
        factor = settings.rustFactor;
      } else if (layer.mask == LookMask::kDirt) {
        sampler = inputs.dirtMask;
        factor = settings.dirtFactor;
      }
      if (sampler != nullptr && !sampler->Empty()) sampler->Sample(point.u, maskT, &mask);
      const float cover = AgedLook::LayerCover(mask, factor, layer);
      // A layer that does not show leaves the material as it is: skip reading its textures.
      if (!(cover > 0.0f)) continue;
      const AgedLook::BaseLook own = SampleSurface(layer.surface, textures.layers[i], weights, total, repeats);
      layered = AgedLook::ApplyLayer(layered, layer, own.color, own.slope, cover);
    }

    const AgedLook::AgedMaterial aged = AgedLook::FinishLook(point.normal, layered, settings.bump);
    color[0] = ToByte(aged.color.x);
    color[1] = ToByte(aged.color.y);
    color[2] = ToByte(aged.color.z);
    if (colorChannels == 4) color[3] = ToByte(alpha);
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
  AgedLook::BaseLook OwnBase(const SurfacePoint& point, const Vector3& bitangent, float* alpha) const {
    AgedLook::BaseLook own;
    float texel[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float t = 1.0f - point.v;
    if (!base->color.Empty()) base->color.Sample(point.u, t, texel);
    own.color = Vector3(EncodeSrgb(DecodeSrgb(texel[0]) * base->colorFactor[0]),
                        EncodeSrgb(DecodeSrgb(texel[1]) * base->colorFactor[1]),
                        EncodeSrgb(DecodeSrgb(texel[2]) * base->colorFactor[2]));
    *alpha = texel[3] * base->colorFactor[3];
    own.metallic = base->metallic;
    own.roughness = base->roughness;
    if (!base->metallicRoughness.Empty()) {
      base->metallicRoughness.Sample(point.metalRough[0], point.metalRough[1], texel);
      own.roughness *= texel[1];
      own.metallic *= texel[2];
    }
    if (!base->normal.Empty()) {
      base->normal.Sample(point.normalMap[0], point.normalMap[1], texel);
      own.slope = AgedLook::TangentSlope(point.tangent, bitangent, texel[0], texel[1], texel[2], base->normalScale);
    }
    return own;
  }

  const BakeInputs& inputs;
  const Look& look;
  const LookTextures& textures;
  const BaseMaterial* base = nullptr;
};

// The corners of a face as the bake reads them.
struct Corner {
  const RenderLib::VertexNormalUV* vertex;
  const SurfaceFrame* frame;
  float x, y;  // in texels, rows from the top
  float metalRough[2];
  float normalMap[2];
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
    for (int k = 0; k < 2; ++k) {
      point.metalRough[k] = c[0].metalRough[k] * w0 + c[1].metalRough[k] * w1 + c[2].metalRough[k] * w2;
      point.normalMap[k] = c[0].normalMap[k] * w0 + c[1].normalMap[k] * w1 + c[2].normalMap[k] * w2;
    }
    const size_t texel = size_t(((py % wrap) + wrap) % wrap) * size + size_t(((px % wrap) + wrap) % wrap);
    shader.Shade(point, &baked->baseColor[texel * baked->colorChannels], baked->colorChannels,
                 &baked->metallicRoughness[texel * 3], &baked->normal[texel * 3]);
    (*covered)[texel] = 1;
  });
}

// Whether two maps read the same coordinates.
bool SameCoordinates(const RenderLib::TextureSlot& a, const RenderLib::TextureSlot& b) {
  const RenderLib::TextureTransform &x = a.transform, &y = b.transform;
  return a.texCoord == b.texCoord && x.offset[0] == y.offset[0] && x.offset[1] == y.offset[1] &&
         x.rotation == y.rotation && x.scale[0] == y.scale[0] && x.scale[1] == y.scale[1];
}

// Where a map reads a vertex, as TextureSampler's (s, t): its own coordinate set through its own
// transform when it has its own (slot given), else the ageing coordinates.
void MapCoordinates(const RenderLib::VertexNormalUV& vertex, const RenderLib::VertexExtras* extras,
                    const RenderLib::TextureSlot* slot, float out[2]) {
  if (slot == nullptr || extras == nullptr) {
    out[0] = vertex.u;
    out[1] = 1.0f - vertex.v;
    return;
  }
  const float* raw = extras->texCoord[slot->texCoord == 1 ? 1 : 0];
  slot->transform.Apply(raw[0], 1.0f - raw[1], out[0], out[1]);
}

}  // namespace

uint32_t BakeSizeOf(const RenderLib::Material* material) {
  if (material == nullptr) return kDefaultBakeSize;
  uint32_t largest = 0;
  for (const RenderLib::ImageHandle* map : {&material->diffuseMap, &material->metallicRoughnessMap, &material->normalMap}) {
    if (const RenderLib::RefCountedImage* image = map->Get()) largest = std::max({largest, image->width, image->height});
  }
  return largest == 0 ? kDefaultBakeSize : std::clamp(largest, kMinBakeSize, kMaxBakeSize);
}

int32_t BakedMaterialOf(const RenderLib::ObjModel& model, const RenderLib::MeshGroup& group) {
  return group.materialIndex >= 0 && size_t(group.materialIndex) < model.materials.size() &&
                 model.materials[size_t(group.materialIndex)].Get() != nullptr
             ? group.materialIndex
             : -1;
}

bool BakeAgedTextures(const BakeInputs& inputs, uint32_t size, BakedTextures* baked, std::string* error) {
  if (size < kMinBakeSize || size > kMaxBakeSize) {
    *error = "the baked textures' size " + std::to_string(size) + " is outside " + std::to_string(kMinBakeSize) +
             ".." + std::to_string(kMaxBakeSize);
    return false;
  }
  if (inputs.model == nullptr || inputs.frames == nullptr || inputs.agedLook == nullptr || inputs.textures == nullptr ||
      inputs.textures->layers.size() != inputs.agedLook->layers.size() ||
      inputs.agedLook->layers.size() > kMaxLookLayers || inputs.rustMask == nullptr || inputs.dirtMask == nullptr ||
      (inputs.agedLook->Uses(LookMask::kHumidity) && inputs.humidityMask == nullptr) ||
      inputs.frames->size() != inputs.model->groups.size()) {
    *error = "the bake was not given a model with its frames, a look with its textures and the masks its layers use";
    return false;
  }
  const RenderLib::ObjModel& model = *inputs.model;
  const RenderLib::Material* own =
      inputs.material >= 0 && size_t(inputs.material) < model.materials.size()
          ? model.materials[size_t(inputs.material)].Get()
          : nullptr;
  const uint32_t colorChannels = own != nullptr && own->alphaMode != RenderLib::AlphaMode::kOpaque ? 4 : 3;
  const size_t texels = size_t(size) * size;
  std::vector<uint8_t> covered;
  try {
    baked->size = size;
    baked->colorChannels = colorChannels;
    baked->baseColor.assign(texels * colorChannels, 0);
    baked->metallicRoughness.assign(texels * 3, 0);
    baked->normal.assign(texels * 3, 0);
    covered.assign(texels, 0);
  } catch (const std::bad_alloc&) {
    *baked = BakedTextures();
    *error = "no memory for three " + std::to_string(size) + " x " + std::to_string(size) + " textures";
    return false;
  }

  const BaseMaterial base = BaseMaterialOf(own);
  TexelShader shader(inputs);
  shader.SetBase(&base);
  for (size_t g = 0; g < model.groups.size(); ++g) {
    const RenderLib::MeshGroup& group = model.groups[g];
    if (BakedMaterialOf(model, group) != inputs.material) continue;
    const std::vector<SurfaceFrame>& frames = (*inputs.frames)[g];
    const size_t vertexCount = group.vertices.size();
    if (frames.size() != vertexCount) continue;
    // The maps laid on other coordinates than the base colour's read those.
    const bool extras = own != nullptr && group.extras.size() == vertexCount;
    const RenderLib::TextureSlot* metalRoughSlot =
        extras && !SameCoordinates(own->metallicRoughnessSlot, own->baseColorSlot) ? &own->metallicRoughnessSlot
                                                                                    : nullptr;
    const RenderLib::TextureSlot* normalSlot =
        extras && !SameCoordinates(own->normalSlot, own->baseColorSlot) ? &own->normalSlot : nullptr;
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
        Corner& corner = corners[k];
        corner = {&vertex, &frames[size_t(index)], vertex.u * float(size), (1.0f - vertex.v) * float(size), {}, {}};
        const RenderLib::VertexExtras* vertexExtras = extras ? &group.extras[size_t(index)] : nullptr;
        MapCoordinates(vertex, vertexExtras, metalRoughSlot, corner.metalRough);
        MapCoordinates(vertex, vertexExtras, normalSlot, corner.normalMap);
      }
      if (valid) DrawFace(corners, size, shader, baked, &covered);
    }
  }

  uint8_t* const planes[3] = {baked->baseColor.data(), baked->metallicRoughness.data(), baked->normal.data()};
  const uint32_t channels[3] = {colorChannels, 3, 3};
  FillOutsideCharts(covered, size, planes, channels, 3);
  return true;
}

}  // namespace AssetExport
