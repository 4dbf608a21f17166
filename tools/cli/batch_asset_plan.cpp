#include "tools/cli/batch_asset_plan.h"

#include <cstdio>
#include <filesystem>

#include "simulation/mask_files.h"
#include "simulation/run_record.h"
#include "tools/cli/source_option.h"
#include "tools/cli/weather_options.h"

namespace PatinexCli {
namespace {

namespace fs = std::filesystem;

// Whether the folder's history is of this asset's model and settings: a record of other settings
// is not this asset's work, done or half done. What makes the masks (density, size, format) is
// weather's default where the manifest leaves it out, as a fresh run would make them; tons go
// by the record unless given, as a continued run takes the session's.
bool RecordFits(const Simulation::RunRecord& record, const BatchAsset& asset) {
  const WeatherSettings& settings = asset.settings;
  const Simulation::HistoryIdentity& identity = record.identity;
  const WeatherOptions defaults;
  if (identity.modelName != fs::path(asset.modelPath).filename().string()) return false;
  if (identity.density != settings.density.value_or(defaults.density)) return false;
  const int64_t size = settings.size.value_or(defaults.size);
  if (int64_t(identity.maskWidth) != size || identity.maskWidth != identity.maskHeight) return false;
  const int32_t format = settings.format.value_or("jpg") == "png" ? Simulation::kMaskPng : Simulation::kMaskJpeg;
  if (identity.maskFormat != format) return false;
  Simulation::EmissionSource source;
  std::string error;
  Simulation::MakeEmissionSource(settings.from.value_or(source.towards),
                                 float(settings.spread.value_or(source.spreadDegrees)), &source, &error);
  for (const Simulation::RecordedStep& step : record.steps) {
    if (settings.tons && step.tons != *settings.tons) return false;
    if (!Simulation::SameSource(step.source, source)) return false;
  }
  return true;
}

// The look a record or a manifest names, bronze when it names none.
std::string LookOrBronze(const std::string& look) { return look.empty() ? "bronze" : look; }

bool RecordNamesTheLook(const Simulation::RunRecord& record, const BatchAsset& asset) {
  return LookOrBronze(record.look) == LookOrBronze(asset.settings.look.value_or(""));
}

}  // namespace

bool RecordAssetLook(const BatchAsset& asset, std::string* error) {
  return Simulation::RecordLook(asset.outFolder, asset.settings.look.value_or(""), error);
}

AssetPlan PlanAsset(const BatchAsset& asset) {
  const int64_t asked = asset.settings.steps;
  Simulation::RunRecord record;
  std::string error;
  if (Simulation::ReadRunRecord(asset.outFolder, &record, &error) != Simulation::RecordState::kFound ||
      !RecordFits(record, asset)) {
    return {AssetAction::kRun, asked};
  }
  const int64_t kept = int64_t(record.steps.size());
  std::error_code missing;
  if (kept == asked && fs::is_regular_file(asset.exportPath, missing) && RecordNamesTheLook(record, asset)) {
    return {AssetAction::kSkip, 0};
  }
  // The masks are whole (the record lists a step only once all its masks are saved): weathering
  // them again would cost the whole run and throw the history aside for an export alone, lost or
  // of another look.
  if (kept == asked) return {AssetAction::kExport, 0};
  const bool session = fs::is_regular_file(fs::path(asset.outFolder) / Simulation::kSessionName, missing);
  if (kept > 0 && kept < asked && session) return {AssetAction::kResume, asked - kept};
  return {AssetAction::kRun, asked};
}

std::vector<std::string> WeatherArguments(const BatchAsset& asset, const AssetPlan& plan, int64_t threads) {
  const WeatherSettings& settings = asset.settings;
  if (plan.action == AssetAction::kExport) {
    std::vector<std::string> arguments = {"export", asset.modelPath, "--masks", asset.outFolder, "--out",
                                          asset.exportPath};
    if (settings.size) {
      arguments.push_back("--size");
      arguments.push_back(std::to_string(*settings.size));
    }
    if (settings.look) {
      arguments.push_back("--look");
      arguments.push_back(*settings.look);
    }
    return arguments;
  }
  std::vector<std::string> arguments = {"weather",  asset.modelPath, "--out", asset.outFolder, "--export",
                                        asset.exportPath, "--steps", std::to_string(plan.steps)};
  const auto add = [&arguments](const char* option, const std::optional<int64_t>& value) {
    if (!value) return;
    arguments.push_back(option);
    arguments.push_back(std::to_string(*value));
  };
  add("--tons", settings.tons);
  add("--density", settings.density);
  add("--seed", settings.seed);
  add("--size", settings.size);
  add("--threads", settings.threads ? settings.threads : std::optional<int64_t>(threads));
  if (settings.format) {
    arguments.push_back("--format");
    arguments.push_back(*settings.format);
  }
  if (settings.deterministic) arguments.push_back("--deterministic");
  if (settings.from) {
    arguments.push_back("--from");
    arguments.push_back(DirectionText(*settings.from));
  }
  if (settings.spread) {
    arguments.push_back("--spread");
    char spread[32];
    std::snprintf(spread, sizeof spread, "%.17g", *settings.spread);
    arguments.push_back(spread);
  }
  // A continued run takes the look its record names, which the first run of the asset set.
  if (settings.look && plan.action != AssetAction::kResume) {
    arguments.push_back("--look");
    arguments.push_back(*settings.look);
  }
  if (plan.action == AssetAction::kResume) arguments.push_back("--resume");
  return arguments;
}

}  // namespace PatinexCli
