#include "tools/cli/weather_summary.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "simulation/mask_files.h"
#include "simulation/mask_spaces.h"
#include "simulation/run_record.h"
#include "simulation/session_file.h"
#include "tools/cli/json_output.h"
#include "tools/cli/output_path.h"

namespace PatinexCli {
namespace {

// The materials an export wrote, as `export` lists them.
Json ExportedMaterialsJson(const std::vector<AssetExport::ExportedMaterial>& materials) {
  Json list = Json::array();
  for (const AssetExport::ExportedMaterial& material : materials) {
    list.push_back(Json{{"name", material.name}, {"textureSize", material.size}});
  }
  return list;
}

// The masks, record and session the run's finished steps left in the output folder, absolute.
Json WrittenFiles(const WeatherOutcome& outcome) {
  const WeatherOptions& options = *outcome.options;
  Json files = Json::array();
  if (outcome.reports == nullptr) return files;
  const std::string folder = AbsolutePath(options.out);
  const int32_t spaces = std::max<int32_t>(1, static_cast<int32_t>(outcome.spaceMaterials.size()));
  std::error_code ignored;
  for (const Simulation::StepReport& report : *outcome.reports) {
    if (report.failure != nullptr) continue;
    for (int32_t space = 0; space < spaces; ++space) {
      for (Simulation::MaskChannel channel : Simulation::kMaskChannels) {
        const std::string mask = Simulation::MaskFileName(folder.c_str(), channel, outcome.firstStep + report.step,
                                                          options.format, space);
        // A mask that could not be saved is not there to list.
        if (std::filesystem::is_regular_file(mask, ignored)) files.push_back(mask);
      }
    }
  }
  if (files.empty()) return files;
  for (const char* name : {Simulation::kRunRecordName, Simulation::kSessionName}) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    if (std::filesystem::is_regular_file(path, ignored)) files.push_back(path);
  }
  for (const std::string& file : outcome.exportFiles) files.push_back(file);
  return files;
}

}  // namespace

std::vector<std::vector<std::string>> SpaceMaterials(const RenderLib::TriangleSoup& soup) {
  const Simulation::MaskSpaces spaces = Simulation::AssignMaskSpaces(soup);
  std::vector<std::vector<std::string>> names(size_t(spaces.count));
  const std::vector<RenderLib::MaterialHandle>& materials = soup.Materials();
  for (size_t m = 0; m < materials.size() && m < spaces.spaceOfMaterial.size(); ++m) {
    names[size_t(spaces.spaceOfMaterial[m])].push_back(materials[m] ? materials[m]->name : "");
  }
  return names;
}

void PrintSummary(const WeatherOutcome& outcome) {
  const WeatherOptions& options = *outcome.options;
  uint64_t tons = 0;
  uint64_t legs = 0;
  double traceSeconds = 0.0;
  double bakeSeconds = 0.0;
  int32_t masksSaved = 0;
  int32_t stepsDone = 0;
  if (outcome.reports != nullptr) {
    for (const Simulation::StepReport& report : *outcome.reports) {
      if (report.failure != nullptr) continue;
      ++stepsDone;
      tons += report.tons;
      legs += report.legs;
      traceSeconds += report.traceSeconds;
      bakeSeconds += report.bakeSeconds + report.ageSeconds;
      masksSaved += report.masksSaved;
    }
  }
  const bool sampled = outcome.samples > 0;
  const bool ran = outcome.reports != nullptr;
  const auto ifRan = [ran](const Json& value) { return ran ? value : Json(nullptr); };
  const auto perStep = [stepsDone](double total) { return stepsDone > 0 ? JsonNumber(total / stepsDone) : Json(nullptr); };
  const auto perSecond = [traceSeconds](double count) {
    return traceSeconds > 0.0 ? JsonNumber(count / traceSeconds) : Json(nullptr);
  };

  Json summary = JsonDocument("weather");
  summary["model"] = options.model;
  summary["density"] = options.density;
  summary["samples"] = sampled ? Json(outcome.samples) : Json(nullptr);
  summary["spacing"] = sampled ? JsonNumber(outcome.spacing) : Json(nullptr);
  summary["threads"] = options.threads > 0 ? options.threads : int64_t(std::thread::hardware_concurrency());
  summary["steps"] = options.steps;
  summary["stepsCompleted"] = stepsDone;
  summary["firstStep"] = ifRan(outcome.firstStep + 1);
  summary["resumed"] = options.resume;
  summary["tonsPerStep"] = options.tons;
  summary["tons"] = tons;
  summary["legs"] = legs;
  summary["seconds"] = Json{{"sample", sampled ? JsonNumber(outcome.sampleSeconds) : Json(nullptr)},
                            {"run", ifRan(JsonNumber(outcome.runSeconds))},
                            {"tracePerStep", perStep(traceSeconds)},
                            {"bakePerStep", perStep(bakeSeconds)}};
  summary["tonsPerSecond"] = perSecond(static_cast<double>(tons));
  summary["legsPerSecond"] = perSecond(static_cast<double>(legs));
  summary["seed"] = options.seed;
  summary["deterministic"] = options.deterministic;
  const RenderLib::Vector3& from = options.source.towards;
  summary["from"] = Json::array({JsonNumber(from.x), JsonNumber(from.y), JsonNumber(from.z)});
  summary["spread"] = JsonNumber(options.source.spreadDegrees);
  summary["maskSize"] = options.size;
  summary["maskFormat"] = options.format == Simulation::kMaskPng ? "png" : "jpg";
  summary["out"] = AbsolutePath(options.out);
  summary["masksSaved"] = masksSaved;
  summary["earlierMasksMovedTo"] = outcome.movedAside.empty() ? Json(nullptr) : Json(AbsolutePath(outcome.movedAside));
  summary["interrupted"] = outcome.interrupted;
  summary["export"] = outcome.exported ? Json(AbsolutePath(options.exportPath)) : Json(nullptr);
  summary["exportMaterials"] = ExportedMaterialsJson(outcome.exportedMaterials);
  summary["maskSpaceMaterials"] =
      outcome.spaceMaterials.size() > 1 ? Json(outcome.spaceMaterials) : Json(nullptr);
  summary["files"] = WrittenFiles(outcome);
  summary["error"] = outcome.error.empty() ? Json(nullptr) : Json(outcome.error);
  PrintJson(summary);
}

int Interrupted(WeatherOutcome& outcome, const Platform::InterruptCatcher& interrupts) {
  outcome.interrupted = true;
  PrintSummary(outcome);
  const WeatherOptions& options = *outcome.options;
  const int32_t stepsDone = outcome.reports != nullptr ? static_cast<int32_t>(outcome.reports->size()) : 0;
  const std::string by = interrupts.Signal() == SIGINT ? "interrupted" : std::string("interrupted by ") +
                                                                             interrupts.SignalName();
  const int32_t first = outcome.firstStep + 1;  // steps are counted from 1 where people read them
  if (stepsDone == 1) {
    std::fprintf(stderr, "%s after 1 of %lld steps: the masks of step %d are saved in %s\n", by.c_str(),
                 static_cast<long long>(options.steps), first, options.out.c_str());
  } else if (stepsDone > 1) {
    std::fprintf(stderr, "%s after %d of %lld steps: the masks of steps %d to %d are saved in %s\n", by.c_str(),
                 stepsDone, static_cast<long long>(options.steps), first, first + stepsDone - 1,
                 options.out.c_str());
  } else {
    std::fprintf(stderr, "%s before the first step was finished: no masks were saved\n", by.c_str());
  }
  return 128 + interrupts.Signal();
}

int Fail(WeatherOutcome& outcome, const std::string& reason) {
  std::fprintf(stderr, "patinex-cli weather: %s\n", reason.c_str());
  outcome.error = reason;
  PrintSummary(outcome);
  return kExitFailure;
}

}  // namespace PatinexCli
