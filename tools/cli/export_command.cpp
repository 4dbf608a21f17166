#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assetexport/aged_export.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_writer.h"
#include "tools/cli/loaded_model.h"

namespace PatinexCli {
namespace {

int RunExport(const Arguments& arguments);

const Command kExportCommand = {
    "export",
    "export MODEL --masks DIR [--step N] --out OUT.glb|OUT.gltf [--size N] [--rust-factor F] [--dirt-factor F]",
    "Writes the model MODEL (OBJ or glTF) aged by a step's masks as a glTF 2.0 asset: the look of the window's\n"
    "Shaded view baked in texture space into a base-colour texture (sRGB), a metallic-roughness\n"
    "texture (green roughness, blue metallic) and a tangent-space normal map (+Y up), N x N\n"
    "texels each (64 to 8192, default 1024), with the model's positions, normals, tangents and\n"
    "texture coordinates and the step's three masks (named in the material's extras).\n"
    "The masks are DIR/mask_humidityNN, mask_dirtNN and mask_rustNN (.jpg or .png) of step N\n"
    "(default: the highest step that has all three). A material of the model's own that has a\n"
    "base-colour texture (or a glTF material) is aged as it is; the others get the shipped\n"
    "bronze, laid on as the window lays it. --rust-factor and --dirt-factor (0 to 1, default 1)\n"
    "are the window's Rust and Dirt sliders.\n"
    "OUT.glb holds everything; OUT.gltf is written with OUT.bin and the images (OUT_baseColor.png\n"
    "...) beside it. Files are written under temporary names and renamed, so a failure leaves\n"
    "nothing under the final names. Prints a JSON summary on stdout; exit status 1 (reason on\n"
    "stderr) when the model, the masks or the shipped textures cannot be read, or the asset\n"
    "cannot be written.",
    RunExport,
};

const CommandRegistration kRegistration(kExportCommand);

struct Options {
  std::string model;
  std::string masks;
  std::string out;
  long step = -1;
  long size = 1024;
  float rustFactor = 1.0f;
  float dirtFactor = 1.0f;
};

bool ParseWhole(const std::string& text, long low, long high, long* value) {
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

bool ParseFactor(const std::string& text, float* value) {
  char* end = nullptr;
  const float parsed = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(parsed >= 0.0f && parsed <= 1.0f)) return false;
  *value = parsed;
  return true;
}

// Returns a usage status on error and -1 when the options are good.
int ParseOptions(const Arguments& arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--masks" || argument == "--out" || argument == "--step" || argument == "--size" ||
        argument == "--rust-factor" || argument == "--dirt-factor") {
      if (i + 1 == arguments.size()) return UsageError(kExportCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      bool good = !value.empty();
      if (argument == "--masks") options.masks = value;
      if (argument == "--out") options.out = value;
      if (argument == "--step") good = ParseWhole(value, 0, 999999, &options.step);
      if (argument == "--size") {
        good = ParseWhole(value, AssetExport::kMinBakeSize, AssetExport::kMaxBakeSize, &options.size);
      }
      if (argument == "--rust-factor") good = ParseFactor(value, &options.rustFactor);
      if (argument == "--dirt-factor") good = ParseFactor(value, &options.dirtFactor);
      if (!good) return UsageError(kExportCommand, "bad value '" + value + "' for " + argument);
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
    std::fprintf(stderr, "patinex-cli export: warning: %s\n", message.c_str());
  }
  AssetExport::ExportSettings settings;
  settings.size = uint32_t(options.size);
  settings.look.rustFactor = options.rustFactor;
  settings.look.dirtFactor = options.dirtFactor;
  int32_t step = int32_t(options.step);
  AssetExport::ExportTimes times;
  if (!AssetExport::ExportAgedAssetFromFolder(*loaded.model, options.masks, &step, settings, options.out, &error, &times)) {
    std::fprintf(stderr, "patinex-cli export: %s: %s\n", options.model.c_str(), error.c_str());
    return kExitFailure;
  }
  JsonWriter json(stdout);
  json.BeginObject();
  json.Field("model", options.model);
  json.Field("masks", options.masks);
  json.Field("step", step);
  json.Field("size", options.size);
  json.Field("rustFactor", options.rustFactor);
  json.Field("dirtFactor", options.dirtFactor);
  json.Field("out", options.out);
  json.Field("bakeSeconds", times.bakeSeconds);
  json.Field("encodeSeconds", times.encodeSeconds);
  json.Field("writeSeconds", times.writeSeconds);
  json.EndObject();
  json.Finish();
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
