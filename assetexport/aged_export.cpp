#include "assetexport/aged_export.h"

#include <chrono>
#include <filesystem>

#include "assetexport/base_material.h"
#include "assetexport/gltf_writer.h"
#include "assetexport/surface_frames.h"
#include "imagelib/png_writer.h"
#include "simulation/texture_layout.h"

namespace AssetExport {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// zlib's fastest level: the textures are a few times larger than at the default level, and
// written several times faster.
constexpr int kPngCompression = 1;

bool EncodeTexture(const char* name, const std::vector<uint8_t>& pixels, uint32_t size, AssetImage* image,
                   std::string* error) {
  image->name = name;
  image->mimeType = "image/png";
  std::string why;
  if (!ImageLib::EncodePng8(pixels.data(), size, size, 3, &image->bytes, &why, kPngCompression)) {
    *error = std::string("the ") + name + " texture: " + why;
    return false;
  }
  return true;
}

AssetImage MaskImage(const char* name, const MaskFile& mask) { return {name, mask.mimeType, mask.bytes}; }

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
  ShippedMaterials shipped;
  if (!LoadShippedMaterials(&shipped, error)) return false;
  std::vector<std::vector<SurfaceFrame>> frames;
  for (const RenderLib::MeshGroup& group : model.groups) frames.push_back(ComputeSurfaceFrames(group));

  BakeInputs inputs;
  inputs.model = &model;
  inputs.frames = &frames;
  inputs.shipped = &shipped;
  if (masks.spaces.empty()) {
    *error = "no masks were given";
    return false;
  }
  const MaskSet& space0 = masks.spaces[0];
  inputs.rustMask = &space0.rust.grey;
  inputs.dirtMask = &space0.dirt.grey;
  inputs.look = settings.look;
  inputs.stop = settings.stop;
  const auto stopped = [&] {
    if (settings.stop == nullptr || !settings.stop->load(std::memory_order_relaxed)) return false;
    *error = kStopped;
    return true;
  };
  BakedTextures baked;
  if (!BakeAgedTextures(inputs, settings.size, &baked, error)) return false;
  spent.bakeSeconds = SecondsSince(start);

  const Clock::time_point encodeStart = Clock::now();
  AgedAsset asset;
  asset.model = &model;
  asset.frames = &frames;
  asset.step = masks.step;
  asset.look = settings.look;
  asset.stop = settings.stop;
  if (stopped() || !EncodeTexture("baseColor", baked.baseColor, baked.size, &asset.baseColor, error) || stopped() ||
      !EncodeTexture("metallicRoughness", baked.metallicRoughness, baked.size, &asset.metallicRoughness, error) ||
      stopped() || !EncodeTexture("normal", baked.normal, baked.size, &asset.normal, error) || stopped()) {
    return false;
  }
  asset.masks[0] = MaskImage("mask_humidity", space0.humidity);
  asset.masks[1] = MaskImage("mask_dirt", space0.dirt);
  asset.masks[2] = MaskImage("mask_rust", space0.rust);
  spent.encodeSeconds = SecondsSince(encodeStart);

  const Clock::time_point writeStart = Clock::now();
  if (!WriteAgedGltf(asset, out, error)) return false;
  spent.writeSeconds = SecondsSince(writeStart);
  if (times != nullptr) *times = spent;
  return true;
}

bool ExportAgedAssetFromFolder(const RenderLib::ObjModel& model, const std::string& maskFolder, int32_t* step,
                               const ExportSettings& settings, const std::string& out, std::string* error,
                               ExportTimes* times) {
  StepMasks masks;
  if (!LoadStepMasks(maskFolder, *step, &masks, error, settings.maskFormat)) return false;
  *step = masks.step;
  return ExportAgedAsset(model, masks, settings, out, error, times);
}

}  // namespace AssetExport
