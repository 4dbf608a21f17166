#include <algorithm>
#include <cstdio>
#include <string>

#include "assetexport/aged_export.h"
#include "assetexport/look_catalog.h"
#include "assetexport/mask_history_check.h"
#include "assetexport/step_masks.h"
#include "assetexport/texture_bake.h"
#include "platform_os/interrupt_catcher.h"
#include "platform_os/ranged_number.h"
#include "renderlib/gltf_source.h"
#include "simulation/mask_spaces.h"
#include "simulation/texture_layout.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/exported_files.h"
#include "tools/cli/json_output.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/output_path.h"

namespace PatinexCli {
namespace {

int RunExport(const Arguments& arguments);

// Steps count from 1 as the progress and the window's slider count them: step 1 is the first
// step saved, mask number 00.
// Read wide, so that a step below 1 is refused rather than taken as step 1.
constexpr Platform::WholeRange kStepRange{-1000000, 1000000};
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
    "The masks are DIR/mask_humidityNN, mask_dirtNN and mask_rustNN (.jpg or .png) of step N,\n"
    "counted from 1 as the progress counts them (step 1 is mask number 00; default: the highest\n"
    "step that has all three; a step DIR does not hold is refused). They must be one history of MODEL: the\n"
    "folder's run record (patinex_run.json, which weather and the window write) must name this\n"
    "model and list every step in DIR, of one size; a folder without a record is taken when all\n"
    "its masks are of one size, with a warning. A material of the model's own that has a\n"
    "base-colour texture (or a glTF material) is aged as it is; the others get the shipped\n"
    "bronze, laid on as the window lays it, or the base of the look --look names (a name patinex-cli\n"
    "looks lists, or a look file; default: the look the run record names, else bronze).\n"
    "--rust-factor and --dirt-factor (" + Platform::RangeText(kFactorRange) +
    ", default 1)\n"
    "are the window's Rust and Dirt sliders. Numbers outside their range are clamped, with a note.\n"
    "OUT.glb holds everything; OUT.gltf is written with OUT.bin and the images\n"
    "(OUT_MATERIAL_baseColor.png ...) beside it; OUT's folder is made if missing. Every file is\n"
    "written whole under a temporary\n"
    "name before any is renamed into place, so a failure or a signal leaves nothing new, and an\n"
    "earlier export under the same name as it was. Prints on stdout {\"schema\", \"command\",\n"
    "\"model\", \"masks\", \"step\", \"textureSize\" (the size asked for, or the largest baked),\n"
    "\"materials\": [{\"name\", \"textureSize\"}], \"look\", \"rustFactor\", \"dirtFactor\", \"out\" (absolute),\n"
    "\"seconds\": {\"bake\", \"encode\", \"write\"}, \"files\" (every file written, absolute)}; exit\n"
    "status 1 (the reason on stderr, and {\"schema\", \"command\", \"error\"} on stdout) when the model,\n"
    "the masks or the shipped textures cannot be read, the masks are not one history of the model,\n"
    "or the asset cannot be written.";

const Command kExportCommand = {
    "export",
    "export MODEL --masks DIR [--step N] --out OUT.glb|OUT.gltf [--size N] [--look NAME|FILE] [--rust-factor F] [--dirt-factor F]",
    kExportHelp.c_str(),
    RunExport,
};

const CommandRegistration kRegistration(kExportCommand);

struct Options {
  std::string model;
  std::string masks;
  std::string out;
  std::string look;
  int64_t step = 0;  // 1-based; 0: the highest step in the folder
  int64_t size = 0;  // each material at its own
  double rustFactor = 1.0;
  double dirtFactor = 1.0;
};

// Returns a usage status on error and -1 when the options are good.
int ParseOptions(const Arguments& arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--masks" || argument == "--out" || argument == "--step" || argument == "--size" ||
        argument == "--rust-factor" || argument == "--dirt-factor" || argument == "--look") {
      if (i + 1 == arguments.size()) return UsageError(kExportCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      std::string note;
      std::string error;
      bool good = true;
      if (argument == "--masks" || argument == "--out" || argument == "--look") {
        if (value.empty()) return UsageError(kExportCommand, argument + " needs a value");
        (argument == "--masks" ? options.masks : argument == "--out" ? options.out : options.look) = value;
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
      if (argument == "--step" && options.step < 1) {
        return UsageError(kExportCommand, "--step counts from 1 (step 1 is the first step saved, mask number 00), not " +
                                              std::to_string(options.step));
      }
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
  // A signal (Ctrl+C, a scheduler's SIGTERM) stops the bake and leaves no export; it stays caught
  // until the process ends, as weather's does.
  static const Platform::InterruptCatcher& interrupts = *new Platform::InterruptCatcher;
  LoadedModel loaded;
  std::string error;
  if (!LoadModelFile(options.model, RenderLib::Textures::kLoad, loaded, error)) return CommandFailure("export", error);
  for (const std::string& message : loaded.messages) {
    std::fprintf(stderr, "patinex-cli export: warning: %s: %s\n", options.model.c_str(), message.c_str());
  }
  // The masks cover the unit square only: what lies outside it is not aged in the textures either.
  const std::string tiling = Simulation::TextureLayoutTilingWarning(
      Simulation::AnalyseTextureLayout(*loaded.soup, RenderLib::RepeatedPlacementTriangles(*loaded.model)),
      options.model);
  if (!tiling.empty()) std::fprintf(stderr, "patinex-cli export: warning: %s\n", tiling.c_str());
  // The masks' own numbers start at 00; the step asked for counts from 1.
  const int32_t maskNumber = int32_t(options.step) - 1;
  if (options.step > 0) {
    const int32_t spaceCount = Simulation::AssignMaskSpaces(*loaded.soup).count;
    const std::vector<int32_t> steps = AssetExport::StepsWithMasks(options.masks, &error, spaceCount);
    if (std::find(steps.begin(), steps.end(), maskNumber) == steps.end()) {
      const std::string held = steps.empty() ? (error.empty() ? "no step's masks" : "no step's masks (" + error + ")")
                                             : "steps " + std::to_string(steps.front() + 1) + " to " + std::to_string(steps.back() + 1);
      return CommandFailure("export", "there is no step " + std::to_string(options.step) + " in " + options.masks +
                                          ": it holds " + held + " (step 1 is the first step saved, mask number 00)");
    }
  }
  std::string warning;
  if (!AssetExport::CheckMaskHistory(*loaded.soup, options.masks, maskNumber, &warning, &error)) {
    return CommandFailure("export", options.model + ": " + error);
  }
  if (!warning.empty()) std::fprintf(stderr, "patinex-cli export: warning: %s\n", warning.c_str());
  AssetExport::ExportSettings settings;
  if (!AssetExport::LookForMasks(options.look, options.masks, &settings.agedLook, &error)) {
    return CommandFailure("export", error);
  }
  settings.size = uint32_t(options.size);
  settings.look.rustFactor = float(options.rustFactor);
  settings.look.dirtFactor = float(options.dirtFactor);
  int32_t step = maskNumber;
  AssetExport::ExportTimes times;
  if (!MakeParentFolder(options.out, &error)) return CommandFailure("export", error);
  settings.stop = &interrupts.Flag();
  if (!AssetExport::ExportAgedAssetFromFolder(*loaded.model, options.masks, &step, settings, options.out, &error, &times)) {
    if (interrupts.Requested()) {
      CommandFailure("export", std::string("interrupted by ") + interrupts.SignalName() + ": no export was written");
      return 128 + interrupts.Signal();
    }
    return CommandFailure("export", options.model + ": " + error);
  }
  // "textureSize" is the size asked for, or the largest a material was baked at.
  uint32_t largest = 0;
  Json materials = Json::array();
  for (const AssetExport::ExportedMaterial& material : times.materials) {
    largest = std::max(largest, material.size);
    materials.push_back(Json{{"name", material.name}, {"textureSize", material.size}});
  }
  for (const std::string& note : times.notes) {
    std::fprintf(stderr, "patinex-cli export: note: %s: %s\n", options.model.c_str(), note.c_str());
  }
  Json document = JsonDocument("export");
  document["model"] = options.model;
  document["masks"] = options.masks;
  document["step"] = step + 1;
  document["textureSize"] = options.size != 0 ? uint32_t(options.size) : largest;
  document["materials"] = materials;
  document["look"] = settings.agedLook.name;
  document["rustFactor"] = JsonNumber(settings.look.rustFactor);
  document["dirtFactor"] = JsonNumber(settings.look.dirtFactor);
  document["out"] = AbsolutePath(options.out);
  document["seconds"] = Json{{"bake", JsonNumber(times.bakeSeconds)},
                             {"encode", JsonNumber(times.encodeSeconds)},
                             {"write", JsonNumber(times.writeSeconds)}};
  document["files"] = ExportedFiles(options.out);
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
