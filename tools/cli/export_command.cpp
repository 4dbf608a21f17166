#include <algorithm>
#include <cstdio>
#include <string>

#include "assetexport/aged_export.h"
#include "assetexport/mask_history_check.h"
#include "assetexport/texture_bake.h"
#include "platform_os/ranged_number.h"
#include "renderlib/gltf_source.h"
#include "simulation/texture_layout.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/loaded_model.h"

namespace PatinexCli {
namespace {

int RunExport(const Arguments& arguments);

constexpr Platform::WholeRange kStepRange{0, 999999};
constexpr Platform::WholeRange kSizeRange{AssetExport::kMinBakeSize, AssetExport::kMaxBakeSize};
// The share of the mask shown, as the window's sliders set it.
constexpr Platform::RealRange kFactorRange{0.0, 1.0};

const std::string kExportHelp =
    "Writes the model MODEL (OBJ or glTF) aged by a step's masks as a glTF 2.0 asset: the look of the window's\n"
    "Shaded view baked in texture space, each material into its own base-colour texture (sRGB),\n"
    "metallic-roughness texture (green roughness, blue metallic) and tangent-space normal map\n"
    "(+Y up), N x N texels each (" + Platform::RangeText(kSizeRange) +
    "; default: each material at the size of its largest\n"
    "map, 1024 where it has none). A glTF model keeps its nodes, meshes, materials, animations\n"
    "and the rest, its aged materials' textures replaced; an OBJ model becomes one node of one\n"
    "mesh, a material a material. The step's masks are carried along (named in each aged\n"
    "material's extras).\n"
    "The masks are DIR/mask_humidityNN, mask_dirtNN and mask_rustNN (.jpg or .png) of step N\n"
    "(default: the highest step that has all three). They must be one history of MODEL: the\n"
    "folder's run record (patinex_run.json, which weather and the window write) must name this\n"
    "model and list every step in DIR, of one size; a folder without a record is taken when all\n"
    "its masks are of one size, with a warning. A material of the model's own that has a\n"
    "base-colour texture (or a glTF material) is aged as it is; the others get the shipped\n"
    "bronze, laid on as the window lays it. --rust-factor and --dirt-factor (" + Platform::RangeText(kFactorRange) +
    ", default 1)\n"
    "are the window's Rust and Dirt sliders. Numbers outside their range are clamped, with a note.\n"
    "OUT.glb holds everything; OUT.gltf is written with OUT.bin and the images\n"
    "(OUT_MATERIAL_baseColor.png ...) beside it. Every file is written whole under a temporary\n"
    "name before any is renamed into place, so a failure or a signal leaves nothing new, and an\n"
    "earlier export under the same name as it was. Prints a JSON summary on stdout (with each\n"
    "aged material's name and size); exit status 1 (reason on stderr) when the model, the masks\n"
    "or the shipped textures cannot be read, the masks are not one history of the model, or the\n"
    "asset cannot be written.";

const Command kExportCommand = {
    "export",
    "export MODEL --masks DIR [--step N] --out OUT.glb|OUT.gltf [--size N] [--rust-factor F] [--dirt-factor F]",
    kExportHelp.c_str(),
    RunExport,
};

const CommandRegistration kRegistration(kExportCommand);

struct Options {
  std::string model;
  std::string masks;
  std::string out;
  int64_t step = -1;  // the highest step in the folder
  int64_t size = 0;  // each material at its own
  double rustFactor = 1.0;
  double dirtFactor = 1.0;
};

// Returns a usage status on error and -1 when the options are good.
int ParseOptions(const Arguments& arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--masks" || argument == "--out" || argument == "--step" || argument == "--size" ||
        argument == "--rust-factor" || argument == "--dirt-factor") {
      if (i + 1 == arguments.size()) return UsageError(kExportCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      std::string note;
      std::string error;
      bool good = true;
      if (argument == "--masks" || argument == "--out") {
        if (value.empty()) return UsageError(kExportCommand, argument + " needs a value");
        (argument == "--masks" ? options.masks : options.out) = value;
      }
      if (argument == "--step") {
        good = Platform::ReadWholeOption(argument, value, kStepRange, &options.step, &note, &error);
      }
      if (argument == "--size") {
        good = Platform::ReadWholeOption(argument, value, kSizeRange, &options.size, &note, &error);
      }
      if (argument == "--rust-factor") {
        good = Platform::ReadRealOption(argument, value, kFactorRange, &options.rustFactor, &note, &error);
      }
      if (argument == "--dirt-factor") {
        good = Platform::ReadRealOption(argument, value, kFactorRange, &options.dirtFactor, &note, &error);
      }
      if (!good) return UsageError(kExportCommand, error);
      if (!note.empty()) std::fprintf(stderr, "patinex-cli export: %s\n", note.c_str());
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kExportCommand, "unknown option " + argument);
    } else if (!options.model.empty()) {
      return UsageError(kExportCommand, "one model at a time");
    } else {
      options.model = argument;
    }
  }
  if (options.model.empty()) return UsageError(kExportCommand, "no model given");
  if (options.masks.empty()) return UsageError(kExportCommand, "--masks DIR is needed");
  if (options.out.empty()) return UsageError(kExportCommand, "--out OUT.glb or --out OUT.gltf is needed");
  return -1;
}

int RunExport(const Arguments& arguments) {
  Options options;
  if (int usage = ParseOptions(arguments, options); usage >= 0) return usage;
  LoadedModel loaded;
  std::string error;
  if (!LoadModelFile(options.model, RenderLib::Textures::kLoad, loaded, error)) {
    std::fprintf(stderr, "patinex-cli export: %s\n", error.c_str());
    return kExitFailure;
  }
  for (const std::string& message : loaded.messages) {
    std::fprintf(stderr, "patinex-cli export: warning: %s: %s\n", options.model.c_str(), message.c_str());
  }
  // The masks cover the unit square only: what lies outside it is not aged in the textures either.
  const std::string tiling = Simulation::TextureLayoutTilingWarning(
      Simulation::AnalyseTextureLayout(*loaded.soup, RenderLib::RepeatedPlacementTriangles(*loaded.model)),
      options.model);
  if (!tiling.empty()) std::fprintf(stderr, "patinex-cli export: warning: %s\n", tiling.c_str());
  std::string warning;
  if (!AssetExport::CheckMaskHistory(*loaded.soup, options.masks, int32_t(options.step), &warning, &error)) {
    std::fprintf(stderr, "patinex-cli export: %s: %s\n", options.model.c_str(), error.c_str());
    return kExitFailure;
  }
  if (!warning.empty()) std::fprintf(stderr, "patinex-cli export: warning: %s\n", warning.c_str());
  AssetExport::ExportSettings settings;
  settings.size = uint32_t(options.size);
  settings.look.rustFactor = float(options.rustFactor);
  settings.look.dirtFactor = float(options.dirtFactor);
  int32_t step = int32_t(options.step);
  AssetExport::ExportTimes times;
  if (!AssetExport::ExportAgedAssetFromFolder(*loaded.model, options.masks, &step, settings, options.out, &error, &times)) {
    std::fprintf(stderr, "patinex-cli export: %s: %s\n", options.model.c_str(), error.c_str());
    return kExitFailure;
  }
  // "size" is the size asked for, or the largest a material was baked at.
  uint32_t largest = 0;
  Json materials = Json::array();
  for (const AssetExport::ExportedMaterial& material : times.materials) {
    largest = std::max(largest, material.size);
    materials.push_back(Json{{"name", material.name}, {"size", material.size}});
  }
  for (const std::string& note : times.notes) {
    std::fprintf(stderr, "patinex-cli export: note: %s: %s\n", options.model.c_str(), note.c_str());
  }
  PrintJson(Json{{"model", options.model},
                 {"masks", options.masks},
                 {"step", step},
                 {"size", options.size != 0 ? uint32_t(options.size) : largest},
                 {"materials", materials},
                 {"rustFactor", JsonNumber(settings.look.rustFactor)},
                 {"dirtFactor", JsonNumber(settings.look.dirtFactor)},
                 {"out", options.out},
                 {"bakeSeconds", JsonNumber(times.bakeSeconds)},
                 {"encodeSeconds", JsonNumber(times.encodeSeconds)},
                 {"writeSeconds", JsonNumber(times.writeSeconds)}});
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
