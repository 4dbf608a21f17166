#include "assetexport/aged_export.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "assetexport/base_material.h"
#include "assetexport/gltf_writer.h"
#include "assetexport/surface_frames.h"
#include "imagelib/jpeg_writer.h"
#include "imagelib/png_writer.h"
#include "renderlib/gltf_source.h"
#include "simulation/mask_spaces.h"
#include "simulation/texture_layout.h"

namespace AssetExport {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A base colour whose source was a JPEG is written as one, at a quality that adds little loss to
// what its source already lost.
constexpr int kJpegQuality = 92;

bool EncodeJpeg(const std::vector<uint8_t>& rgb, uint32_t size, std::vector<uint8_t>* bytes, std::string* why) {
  // imagelib's JPEG writer writes to a stream; an anonymous temporary file holds it.
  std::FILE* file = std::tmpfile();
  if (file == nullptr) {
    *why = std::string("no temporary file for the JPEG: ") + std::strerror(errno);
    return false;
  }
  bool encoded = ImageLib::WriteJpeg(file, "the baked base colour", rgb.data(), size, size, kJpegQuality) &&
                 std::fflush(file) == 0;
  const long length = encoded ? std::ftell(file) : -1;
  encoded = encoded && length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (encoded) {
    bytes->resize(size_t(length));
    encoded = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
  }
  std::fclose(file);
  if (!encoded) *why = "the JPEG encoder failed";
  return encoded;
}

bool EncodeTexture(const std::string& name, const std::vector<uint8_t>& pixels, uint32_t size, uint32_t channels,
                   bool jpeg, AssetImage* image, std::string* error) {
  image->name = name;
  image->mimeType = jpeg ? "image/jpeg" : "image/png";
  std::string why;
  const bool encoded = jpeg ? EncodeJpeg(pixels, size, &image->bytes, &why)
                            : ImageLib::EncodePng8(pixels.data(), size, size, channels, &image->bytes, &why,
                                                   kTexturePngCompression);
  if (!encoded) *error = "the " + name + " texture: " + why;
  return encoded;
}

AssetImage MaskImage(const std::string& name, const MaskFile& mask) { return {name, mask.mimeType, mask.bytes}; }

// Whether some face of the material's groups spans an area in texture space.
bool HasTextureArea(const RenderLib::ObjModel& model, int32_t material) {
  for (const RenderLib::MeshGroup& group : model.groups) {
    if (BakedMaterialOf(model, group) != material) continue;
    const size_t count = group.vertices.size();
    for (size_t i = 0; i + 2 < group.indices.size(); i += 3) {
      const int32_t a = group.indices[i], b = group.indices[i + 1], c = group.indices[i + 2];
      if (a < 0 || b < 0 || c < 0 || size_t(a) >= count || size_t(b) >= count || size_t(c) >= count) continue;
      const RenderLib::VertexNormalUV &p = group.vertices[size_t(a)], &q = group.vertices[size_t(b)],
                                      &r = group.vertices[size_t(c)];
      const float area = (q.u - p.u) * (r.v - p.v) - (r.u - p.u) * (q.v - p.v);
      if (std::isfinite(area) && area != 0.0f) return true;
    }
  }
  return false;
}

// Whether a glTF material's base colour map was a JPEG.
bool BaseColorIsJpeg(const RenderLib::ObjModel& model, int32_t material) {
  if (model.gltfSource == nullptr || model.gltfSource->document == nullptr || material < 0) return false;
  const tinygltf::Model& gltf = *model.gltfSource->document;
  if (size_t(material) >= gltf.materials.size()) return false;
  const int texture = gltf.materials[size_t(material)].pbrMetallicRoughness.baseColorTexture.index;
  if (texture < 0 || size_t(texture) >= gltf.textures.size()) return false;
  const int image = gltf.textures[size_t(texture)].source;
  if (image < 0 || size_t(image) >= model.gltfSource->imageBytes.size()) return false;
  const std::vector<uint8_t>& bytes = model.gltfSource->imageBytes[size_t(image)];
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::string MaterialName(const RenderLib::ObjModel& model, int32_t material) {
  if (material < 0) return "aged";
  return model.materials[size_t(material)]->name;
}

}  // namespace

bool ExportAgedAsset(const RenderLib::ObjModel& model, const StepMasks& masks, const ExportSettings& settings,
                     const std::string& out, std::string* error, ExportTimes* times) {
  ExportTimes spent;
  const Clock::time_point start = Clock::now();
  if (!Simulation::HasTextureCoordinates(model)) {
    *error = "the model has no texture coordinates: the aged look is baked in texture space, so the model needs a "
             "UV layout to be exported";
    return false;
  }
  const Simulation::MaskSpaces spaces = Simulation::AssignMaskSpaces(model);
  if (masks.spaces.size() != size_t(spaces.count)) {
    *error = "the masks hold " + std::to_string(masks.spaces.size()) + " mask space(s) but the model's materials need " +
             std::to_string(spaces.count);
    return false;
  }
  if (settings.size != 0 && (settings.size < kMinBakeSize || settings.size > kMaxBakeSize)) {
    *error = "the baked textures' size " + std::to_string(settings.size) + " is outside " +
             std::to_string(kMinBakeSize) + ".." + std::to_string(kMaxBakeSize);
    return false;
  }
  if (settings.agedLook.layers.size() > kMaxLookLayers) {
    *error = "the look " + settings.agedLook.name + " has more than " + std::to_string(kMaxLookLayers) + " layers";
    return false;
  }
  // A look reading humidity from a mask left undecoded would bake as if it were dry.
  for (const MaskSet& set : masks.spaces) {
    if (settings.agedLook.Uses(LookMask::kHumidity) && set.humidity.grey.Empty()) {
      *error = "the look " + settings.agedLook.name + " reads the humidity mask, which was not decoded (" +
               set.humidity.path + ")";
      return false;
    }
  }
  LookTextures textures;
  if (!LoadLookTextures(settings.agedLook, &textures, error)) return false;
  std::vector<std::vector<SurfaceFrame>> frames;
  for (const RenderLib::MeshGroup& group : model.groups) frames.push_back(ComputeSurfaceFrames(group));
  const auto stopped = [&] {
    if (settings.stop == nullptr || !settings.stop->load(std::memory_order_relaxed)) return false;
    *error = kStopped;
    return true;
  };

  // The materials the groups use, in order, the groups without one first.
  std::vector<int32_t> used;
  for (const RenderLib::MeshGroup& group : model.groups) {
    if (!group.indices.empty()) used.push_back(BakedMaterialOf(model, group));
  }
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());

  AgedAsset asset;
  asset.model = &model;
  asset.frames = &frames;
  asset.step = masks.step;
  asset.look = settings.look;
  asset.lookName = settings.agedLook.name;
  asset.stop = settings.stop;
  double encodeSeconds = 0.0;
  for (const int32_t material : used) {
    const std::string name = MaterialName(model, material);
    if (!HasTextureArea(model, material)) {
      spent.notes.push_back("material " + name + " has no texture coordinates spanning an area: written unaged");
      continue;
    }
    const RenderLib::Material* own = material >= 0 ? model.materials[size_t(material)].Get() : nullptr;
    const int32_t space = spaces.SpaceOf(material);
    const MaskSet& maskSet = masks.spaces[size_t(space)];
    BakeInputs inputs;
    inputs.model = &model;
    inputs.frames = &frames;
    inputs.agedLook = &settings.agedLook;
    inputs.textures = &textures;
    inputs.rustMask = &maskSet.rust.grey;
    inputs.dirtMask = &maskSet.dirt.grey;
    inputs.humidityMask = &maskSet.humidity.grey;
    inputs.look = settings.look;
    inputs.stop = settings.stop;
    inputs.material = material;
    BakedTextures baked;
    std::string why;
    if (!BakeAgedTextures(inputs, settings.size != 0 ? settings.size : BakeSizeOf(own), &baked, &why)) {
      *error = why == kStopped ? why : "material " + name + ": " + why;
      return false;
    }

    const Clock::time_point encodeStart = Clock::now();
    AgedMaterial aged;
    aged.material = material;
    aged.name = name;
    aged.space = space;
    aged.size = baked.size;
    const bool jpeg = baked.colorChannels == 3 && BaseColorIsJpeg(model, material);
    if (stopped() ||
        !EncodeTexture(name + "_baseColor", baked.baseColor, baked.size, baked.colorChannels, jpeg, &aged.baseColor,
                       error) ||
        stopped() ||
        !EncodeTexture(name + "_metallicRoughness", baked.metallicRoughness, baked.size, 3, false,
                       &aged.metallicRoughness, error) ||
        stopped() || !EncodeTexture(name + "_normal", baked.normal, baked.size, 3, false, &aged.normal, error) ||
        stopped()) {
      return false;
    }
    encodeSeconds += SecondsSince(encodeStart);
    spent.materials.push_back({name, baked.size});
    asset.materials.push_back(std::move(aged));
  }
  if (asset.materials.empty()) {
    *error = "no material of the model has texture coordinates spanning an area: the aged look is baked in texture "
             "space, so the model needs a UV layout to be exported";
    return false;
  }
  for (size_t s = 0; s < masks.spaces.size(); ++s) {
    const std::string suffix = s == 0 ? "" : "_space" + std::to_string(s);
    asset.masks.push_back({MaskImage("mask_humidity" + suffix, masks.spaces[s].humidity),
                           MaskImage("mask_dirt" + suffix, masks.spaces[s].dirt),
                           MaskImage("mask_rust" + suffix, masks.spaces[s].rust)});
  }
  spent.encodeSeconds = encodeSeconds;
  spent.bakeSeconds = SecondsSince(start) - encodeSeconds;

  const Clock::time_point writeStart = Clock::now();
  if (!WriteAgedGltf(asset, out, error)) return false;
  spent.writeSeconds = SecondsSince(writeStart);
  if (times != nullptr) *times = std::move(spent);
  return true;
}

bool ExportAgedAssetFromFolder(const RenderLib::ObjModel& model, const std::string& maskFolder, int32_t* step,
                               const ExportSettings& settings, const std::string& out, std::string* error,
                               ExportTimes* times) {
  StepMasks masks;
  const int32_t spaceCount = Simulation::AssignMaskSpaces(model).count;
  if (!LoadStepMasks(maskFolder, *step, &masks, error, settings.maskFormat, spaceCount,
                     settings.agedLook.Uses(LookMask::kHumidity))) {
    return false;
  }
  *step = masks.step;
  return ExportAgedAsset(model, masks, settings, out, error, times);
}

}  // namespace AssetExport
