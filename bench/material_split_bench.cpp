// What several materials cost: the bunny as it ships (one material) against the same triangles
// split into two materials whose texture charts overlap (the half with x > 0 laid on the unit
// square mirrored), so that each ages in a mask space of its own. Each iteration bakes a step's
// masks the way a run does and exports the model aged by them (the whole export), for both
// models, in the same run. The goal: the split model costs no more than the one-material model
// plus encoding the textures it has on top (its second space's three masks and its second
// material's three baked textures, the very pictures it made, encoded as the run and the export
// encode them), measured alongside as extra_encode_ms. excess_vs_extra_encode is
// (split - one) / extra_encode: at most 1 meets it. Tracing is left out: a sample's space rides
// in bits its record already had, so the tons cost the same.
#include <benchmark/benchmark.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "assetexport/aged_export.h"
#include "imagelib/decoded_image.h"
#include "imagelib/image_decoder.h"
#include "imagelib/jpeg_writer.h"
#include "imagelib/png_writer.h"
#include "renderlib/gltf_source.h"
#include "renderlib/kd_tree.h"
#include "renderlib/model_file.h"
#include "shipped_media/shipped_splat.h"
#include "renderlib/obj_loader.h"
#include "renderlib/triangle_soup.h"
#include "simulation/mask_baking.h"
#include "simulation/mask_files.h"
#include "simulation/mask_spaces.h"
#include "simulation/sample_map_builder.h"
#include "simulation/splat_image.h"

namespace {

constexpr uint32_t kSize = 1024;
constexpr int32_t kDensity = 100;

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

std::string OutputFolder(const char* name) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("material_split_bench." + std::to_string(std::random_device{}()) + "." + name);
  std::filesystem::create_directories(path);
  return path.string();
}

// A model with its samples, their quantities made up (smooth, every value in 0..1), as a few
// steps of weather leave them.
struct AgedModel {
  std::unique_ptr<RenderLib::ObjModel> model;
  std::unique_ptr<RenderLib::TriangleSoup> soup;
  RenderLib::KdTree tree;
  Simulation::SampleMapBuild samples;
  std::string folder;
};

std::unique_ptr<RenderLib::ObjModel> LoadBunny() {
  return RenderLib::LoadObj((std::string(PATINEX_SOURCE_DIR) + "/media/bunny.obj").c_str());
}

// The bunny's faces with x > 0 moved into a second group of a material of its own, their
// texture coordinates mirrored (u -> 1 - u) so that its charts fall on the first half's.
std::unique_ptr<RenderLib::ObjModel> SplitBunny() {
  std::unique_ptr<RenderLib::ObjModel> whole = LoadBunny();
  if (!whole) return nullptr;
  auto split = std::make_unique<RenderLib::ObjModel>();
  for (const char* name : {"Left", "Right"}) {
    RenderLib::MaterialHandle material(new RenderLib::Material());
    std::snprintf(material->name, sizeof material->name, "%s", name);
    split->materials.push_back(material);
  }
  split->groups.resize(2);
  for (int g = 0; g < 2; ++g) split->groups[size_t(g)].materialIndex = g;
  for (const RenderLib::MeshGroup& group : whole->groups) {
    for (size_t t = 0; t + 2 < group.indices.size(); t += 3) {
      float x = 0.0f;
      for (int k = 0; k < 3; ++k) x += group.vertices[size_t(group.indices[t + size_t(k)])].position.x;
      RenderLib::MeshGroup& into = split->groups[x > 0.0f ? 1 : 0];
      for (int k = 0; k < 3; ++k) {
        RenderLib::VertexNormalUV vertex = group.vertices[size_t(group.indices[t + size_t(k)])];
        if (x > 0.0f) vertex.u = 1.0f - vertex.u;
        into.indices.push_back(int32_t(into.vertices.size()));
        into.vertices.push_back(vertex);
      }
    }
  }
  return split;
}

void Prepare(AgedModel& m, std::unique_ptr<RenderLib::ObjModel> model, const char* name) {
  m.model = std::move(model);
  m.soup = std::make_unique<RenderLib::TriangleSoup>(*m.model);
  m.tree.Build(*m.soup, 24, 16);
  m.samples = Simulation::BuildSampleMap(m.tree, *m.soup, kDensity);
  Simulation::SampleMap& map = *m.samples.map;
  for (uint32_t i = 0; i < map.Count(); ++i) {
    Simulation::SurfaceSample& sample = map.Items()[i];
    sample.humidity = 0.5f + 0.5f * std::sin(sample.position.x * 9.0f);
    sample.dirt = 0.5f + 0.5f * std::cos(sample.position.y * 7.0f);
    sample.rust = 0.5f + 0.5f * std::sin(sample.position.z * 11.0f);
  }
  m.folder = OutputFolder(name);
}

// Bakes step 0's masks of every space into the model's folder and exports the model aged by
// them; false when either fails.
// The parts' processor seconds, summed over the iterations.
struct Parts {
  double masks = 0, texturesBake = 0, texturesEncode = 0, write = 0;
};

bool BakeAndExport(AgedModel& m, const Simulation::SplatImage& splat, Parts& parts, std::string* error) {
  const int32_t spaces = m.samples.map->SpaceCount();
  std::vector<std::string> files;
  for (int32_t s = 0; s < spaces; ++s) {
    for (const Simulation::MaskChannel channel : Simulation::kMaskChannels) {
      files.push_back(Simulation::MaskFileName(m.folder.c_str(), channel, 0, Simulation::kMaskJpeg, s));
    }
  }
  std::vector<const char*> names;
  for (const std::string& file : files) names.push_back(file.c_str());
  std::vector<int32_t> codes(files.size());
  const double start = ProcessSeconds();
  const int32_t saved = Simulation::BakeAndSaveSpaceMasks(names.data(), spaces, kSize, kSize, *m.samples.map,
                                                          m.samples.spacing, splat, codes.data());
  if (saved != int32_t(files.size())) {
    *error = "a mask was not saved";
    return false;
  }
  parts.masks += ProcessSeconds() - start;
  int32_t step = 0;
  AssetExport::ExportSettings settings;
  settings.size = kSize;
  AssetExport::ExportTimes times;
  if (!AssetExport::ExportAgedAssetFromFolder(*m.model, m.folder, &step, settings, m.folder + "/aged.glb", error,
                                              &times)) {
    return false;
  }
  parts.texturesBake += times.bakeSeconds;
  parts.texturesEncode += times.encodeSeconds;
  parts.write += times.writeSeconds;
  return true;
}

// The pictures the split model has on top, as its last export and bake left them: its second
// material's three textures and its second mask space's three masks, as 8-bit pixels.
struct ExtraPictures {
  struct Picture {
    std::vector<uint8_t> pixels;
    uint32_t width = 0, height = 0, channels = 0;
  };
  std::vector<Picture> textures;  // PNG in the export
  std::vector<Picture> masks;     // grey JPEG
};

ExtraPictures::Picture Decode(const std::vector<uint8_t>& bytes) {
  ExtraPictures::Picture picture;
  ImageLib::DecodedImage decoded;
  std::string why;
  if (!ImageLib::DecodeImage(bytes.data(), bytes.size(), decoded, why)) return picture;
  picture.width = decoded.width;
  picture.height = decoded.height;
  picture.channels = decoded.channels;
  picture.pixels.resize(decoded.SampleCount());
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    picture.pixels[i] = uint8_t(std::lround(std::clamp(decoded.Value(i), 0.0f, 1.0f) * 255.0f));
  }
  return picture;
}

bool LoadExtraPictures(const AgedModel& split, ExtraPictures* extra) {
  RenderLib::ErrorList notes;
  std::string failure;
  std::unique_ptr<RenderLib::ObjModel> exported = RenderLib::LoadModelFile(split.folder + "/aged.glb", &notes, failure);
  if (!exported || !exported->gltfSource || !exported->gltfSource->document) return false;
  const tinygltf::Model& document = *exported->gltfSource->document;
  for (size_t i = 0; i < document.images.size(); ++i) {
    if (document.images[i].name.rfind("Right_", 0) == 0) {
      extra->textures.push_back(Decode(exported->gltfSource->imageBytes[i]));
    }
  }
  for (const Simulation::MaskChannel channel : Simulation::kMaskChannels) {
    std::vector<uint8_t> bytes;
    std::string why;
    const std::string path = Simulation::MaskFileName(split.folder.c_str(), channel, 0, Simulation::kMaskJpeg, 1);
    if (!ImageLib::ReadImageFile(path.c_str(), bytes, why)) return false;
    extra->masks.push_back(Decode(bytes));
  }
  return extra->textures.size() == 3 && extra->masks.size() == 3;
}

// Encoding those pictures the way the run and the export encode them: the yardstick.
double ExtraEncodeSeconds(const ExtraPictures& extra) {
  std::vector<uint8_t> bytes, grey;
  std::string error;
  const double start = ProcessSeconds();
  for (const ExtraPictures::Picture& mask : extra.masks) {
    grey.resize(size_t(mask.width) * mask.height);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = mask.pixels[i * mask.channels];
    std::FILE* file = std::tmpfile();
    if (file == nullptr) continue;
    ImageLib::WriteGreyJpeg(file, "mask", grey.data(), mask.width, mask.height, Simulation::kMaskJpegQuality);
    std::fclose(file);
  }
  for (const ExtraPictures::Picture& texture : extra.textures) {
    bytes.clear();
    ImageLib::EncodePng8(texture.pixels.data(), texture.width, texture.height, texture.channels, &bytes, &error,
                         AssetExport::kTexturePngCompression);
    benchmark::DoNotOptimize(bytes.data());
  }
  return ProcessSeconds() - start;
}

void BM_SplitAgainstOneMaterial(benchmark::State& state) {
  static AgedModel one, split;
  if (!one.model) {
    std::unique_ptr<RenderLib::ObjModel> whole = LoadBunny(), halves = SplitBunny();
    if (!whole || !halves) {
      state.SkipWithError("the bunny did not load");
      return;
    }
    Prepare(one, std::move(whole), "one");
    Prepare(split, std::move(halves), "split");
  }
  Simulation::SplatImage splat;
  std::string splatError;
  if (!ShippedMedia::LoadSplat(splat, &splatError)) {
    state.SkipWithError(splatError.c_str());
    return;
  }
  double oneSeconds = 0, splitSeconds = 0, encodeSeconds = 0;
  Parts oneParts, splitParts;
  ExtraPictures extra;
  std::string error;
  bool firstFirst = true;
  for (auto _ : state) {
    // The two take turns going first, so that load building up falls on both alike.
    AgedModel* order[2] = {&one, &split};
    if (!firstFirst) std::swap(order[0], order[1]);
    firstFirst = !firstFirst;
    for (AgedModel* m : order) {
      const double start = ProcessSeconds();
      if (!BakeAndExport(*m, splat, m == &one ? oneParts : splitParts, &error)) {
        state.SkipWithError(error.c_str());
        return;
      }
      (m == &one ? oneSeconds : splitSeconds) += ProcessSeconds() - start;
    }
    if (extra.textures.empty() && !LoadExtraPictures(split, &extra)) {
      state.SkipWithError("the split model's export did not read back");
      return;
    }
    encodeSeconds += ExtraEncodeSeconds(extra);
  }
  const double n = double(state.iterations());
  state.counters["spaces"] = split.samples.map->SpaceCount();
  state.counters["one_material_ms"] = oneSeconds / n * 1e3;
  state.counters["split_ms"] = splitSeconds / n * 1e3;
  state.counters["extra_encode_ms"] = encodeSeconds / n * 1e3;
  state.counters["split_vs_one"] = splitSeconds / oneSeconds;
  // Where the difference goes (the export's parts on the wall clock, one thread).
  state.counters["masks_split_vs_one"] = splitParts.masks / oneParts.masks;
  state.counters["texture_bake_split_vs_one"] = splitParts.texturesBake / oneParts.texturesBake;
  state.counters["texture_encode_split_vs_one"] = splitParts.texturesEncode / oneParts.texturesEncode;
  state.counters["write_split_vs_one"] = splitParts.write / oneParts.write;
  state.counters["one_masks_ms"] = oneParts.masks / n * 1e3;
  state.counters["one_texture_bake_ms"] = oneParts.texturesBake / n * 1e3;
  state.counters["one_texture_encode_ms"] = oneParts.texturesEncode / n * 1e3;
  state.counters["excess_vs_extra_encode"] = (splitSeconds - oneSeconds) / encodeSeconds;
}

BENCHMARK(BM_SplitAgainstOneMaterial)->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace

BENCHMARK_MAIN();
