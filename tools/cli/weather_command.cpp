#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assetexport/aged_export.h"
#include "platform/file_system.h"
#include "platform/interrupt_catcher.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/patinex_process.h"
#include "simulation/random_unit.h"
#include "simulation/sample_map_builder.h"
#include "simulation/texture_layout.h"
#include "threadinglib/thread.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_writer.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/weather_progress.h"

namespace PatinexCli {
namespace {

int RunWeather(const Arguments& arguments);

const Command kWeatherCommand = {
    "weather",
    "weather MODEL [--density N] [--steps N] [--tons N] [--out DIR] [--threads N] [--seed N] [--size N] "
    "[--format jpg|png] [--export OUT.glb|OUT.gltf]",
    "Ages the OBJ model MODEL as the program's Weather command does: covers it with surface\n"
    "samples at density N (1 to 500, default 100), then runs N steps (1 to 1000, default 1) of N\n"
    "tons each (1 to 1,000,000, default 1000) and writes the humidity, dirt and rust masks of\n"
    "every step to DIR (default media, made if missing) as mask_humidity00.jpg,\n"
    "mask_dirt00.jpg, mask_rust00.jpg and so on. Numbers outside their range are clamped, with\n"
    "a note. --threads N sets the tracing workers (default one per processor).\n"
    "--seed N (0 to 4294967295, default 5489) seeds the run's random streams: with one worker\n"
    "the same inputs and seed give the same masks, byte for byte, and another seed another run.\n"
    "--size N makes masks of N x N texels (64 to 8192, default 1024); --format png writes them\n"
    "as 16-bit grey PNG (mask_dirt00.png ...) instead of 8-bit JPEG. The window program reads\n"
    "1024 x 1024 JPEG masks; the other sizes and PNG are for export, for example a 2K 16-bit set:\n"
    "  patinex-cli weather media/bunny.obj --steps 3 --size 2048 --format png --out export\n"
    "Masks are baked in texture space: a model without texture coordinates is refused (exit\n"
    "status 1). Coordinates that all lie in one tile [k, k + 1] x [l, l + 1] give masks of that\n"
    "tile; otherwise the share of triangles outside the masks is reported, and so are texture\n"
    "charts that overlap on more than 0.5 % of the texels they cover.\n"
    "The splat is media/SPLAT.png as the media search finds it (around the current folder and\n"
    "the program, or PREFIX/share/patinex/media of an install); without one the copy built into\n"
    "the program is used.\n"
    "--export OUT.glb (or OUT.gltf) writes the model aged by the last step's masks as a glTF 2.0\n"
    "asset after the run, as 'patinex-cli export' does (baked at the masks' size).\n"
    "Progress goes to stderr; at the end a JSON summary goes to stdout. Ctrl+C stops the run at\n"
    "its next check: the masks of finished steps stay, and the exit status is 130.",
    RunWeather,
};

const CommandRegistration kRegistration(kWeatherCommand);

constexpr int kExitInterrupted = 130;

struct Options {
  std::string model;
  std::string out = "media";
  long density = 100;
  long steps = 1;
  long tons = 1000;
  long threads = 0;  // one per processor
  long seed = Simulation::RandomStream::kDefaultSeed;
  long size = 1024;
  int32_t format = Simulation::kMaskJpeg;
  std::string exportPath;
};

struct NumberOption {
  const char* name;
  long Options::*field;
  long minimum;
  long maximum;
};

const NumberOption kNumberOptions[] = {
    {"--density", &Options::density, 1, 500},
    {"--steps", &Options::steps, 1, 1000},
    {"--tons", &Options::tons, 1, 1000000},
    {"--threads", &Options::threads, 1, 1024},
    {"--seed", &Options::seed, 0, 4294967295L},
    {"--size", &Options::size, 64, 8192},
};

// Everything the run's callbacks share with the command's own thread.
struct RunState {
  std::atomic<int32_t> tonsDone{0};
  std::atomic<int32_t> stepsFinished{0};
  std::mutex reportsMutex;
  std::vector<Simulation::StepReport> reports;  // guarded by reportsMutex
};

void OnProgress(int32_t done, int32_t /*total*/, void* userData) {
  static_cast<RunState*>(userData)->tonsDone.store(done, std::memory_order_relaxed);
}

void OnStepFinished(const Simulation::StepReport& report, void* userData) {
  RunState& state = *static_cast<RunState*>(userData);
  state.tonsDone.store(0, std::memory_order_relaxed);
  std::lock_guard lock(state.reportsMutex);
  state.reports.push_back(report);
  state.stepsFinished.store(static_cast<int32_t>(state.reports.size()), std::memory_order_relaxed);
}

// Parses the command line; returns a usage status on error and -1 when the options are good.
int ParseOptions(const Arguments& arguments, Options& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const NumberOption* number = nullptr;
    for (const NumberOption& candidate : kNumberOptions) {
      if (argument == candidate.name) number = &candidate;
    }
    if (number != nullptr || argument == "--out" || argument == "--format" || argument == "--export") {
      if (i + 1 == arguments.size()) return UsageError(kWeatherCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      if (argument == "--format") {
        if (value != "jpg" && value != "png") {
          return UsageError(kWeatherCommand, "--format is jpg or png, not '" + value + "'");
        }
        options.format = value == "png" ? Simulation::kMaskPng : Simulation::kMaskJpeg;
        continue;
      }
      if (argument == "--export") {
        const size_t dot = value.rfind('.');
        if (dot == std::string::npos || (value.substr(dot) != ".glb" && value.substr(dot) != ".gltf")) {
          return UsageError(kWeatherCommand, "--export takes a .glb or .gltf file name, not '" + value + "'");
        }
        options.exportPath = value;
        continue;
      }
      if (number == nullptr) {
        if (value.empty()) return UsageError(kWeatherCommand, "--out needs a folder");
        options.out = value;
        continue;
      }
      errno = 0;
      char* end = nullptr;
      long parsed = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') {
        return UsageError(kWeatherCommand, argument + " takes a whole number, not '" + value + "'");
      }
      const long clamped = errno == ERANGE ? (parsed < 0 ? number->minimum : number->maximum)
                                           : std::clamp(parsed, number->minimum, number->maximum);
      if (errno == ERANGE || clamped != parsed) {
        std::fprintf(stderr, "patinex-cli weather: %s %s is outside %ld..%ld; using %ld\n", argument.c_str(),
                     value.c_str(), number->minimum, number->maximum, clamped);
      }
      options.*(number->field) = clamped;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kWeatherCommand, "unknown option " + argument);
    } else if (!options.model.empty()) {
      return UsageError(kWeatherCommand, "one model at a time");
    } else {
      options.model = argument;
    }
  }
  if (options.model.empty()) return UsageError(kWeatherCommand, "no model given");
  return -1;
}

// Says what the masks can make of the model's texture coordinates. False (after the reason)
// when they cannot be baked at all.
bool ReportTextureLayout(const std::string& model, const Simulation::TextureLayout& layout) {
  if (!layout.hasCoordinates) {
    std::fprintf(stderr,
                 "patinex-cli weather: %s has no texture coordinates; masks are baked in texture space, so the "
                 "model needs texture coordinates (a UV layout) to be weathered\n",
                 model.c_str());
    return false;
  }
  if (layout.inOneTile && (layout.tileU != 0 || layout.tileV != 0)) {
    std::fprintf(stderr,
                 "patinex-cli weather: note: the texture coordinates of %s lie in the tile u %d..%d, v %d..%d; the "
                 "masks cover that tile\n",
                 model.c_str(), layout.tileU, layout.tileU + 1, layout.tileV, layout.tileV + 1);
  } else if (!layout.inOneTile) {
    std::fprintf(stderr,
                 "patinex-cli weather: warning: %.1f %% of the triangles of %s have texture coordinates outside "
                 "[0, 1] x [0, 1] and fall (partly) outside the masks\n",
                 100.0 * layout.outsideShare, model.c_str());
  }
  if (layout.coverage.OverlapShare() > Simulation::kOverlapWarningShare) {
    std::fprintf(stderr,
                 "patinex-cli weather: warning: the texture charts of %s overlap on %.1f %% of the texels they cover "
                 "(of a 1024 x 1024 raster); overlapping parts share their mask texels\n",
                 model.c_str(), 100.0 * layout.coverage.OverlapShare());
  }
  return true;
}

void PrintStepLine(WeatherProgress& progress, const Simulation::StepReport& report) {
  char line[256];
  std::snprintf(line, sizeof line, "step %d of %d: %u tons, %llu legs, traced in %.2f s, masks in %.2f s%s",
                report.step + 1, report.steps, report.tons, static_cast<unsigned long long>(report.legs),
                report.traceSeconds, report.bakeSeconds, report.masksSaved == 3 ? "" : " (some masks NOT saved)");
  progress.Line(line);
}

int RunWeather(const Arguments& arguments) {
  Options options;
  if (int usage = ParseOptions(arguments, options); usage >= 0) return usage;

  std::string error;
  LoadedModel loaded;
  if (!LoadModelForTracing(options.model, loaded, error)) {
    std::fprintf(stderr, "patinex-cli weather: %s\n", error.c_str());
    return kExitFailure;
  }
  const Simulation::TextureLayout layout = Simulation::AnalyseTextureLayout(*loaded.soup);
  if (!ReportTextureLayout(options.model, layout)) return kExitFailure;
  Simulation::SplatImage splat;
  if (!Platform::MakeWritableFolder(options.out, &error) || !ShippedMedia::LoadSplat(splat, &error)) {
    std::fprintf(stderr, "patinex-cli weather: %s\n", error.c_str());
    return kExitFailure;
  }

  const auto sampleStart = std::chrono::steady_clock::now();
  Simulation::SampleMapBuild samples =
      Simulation::BuildSampleMap(*loaded.tree, *loaded.soup, static_cast<int32_t>(options.density));
  const double sampleSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - sampleStart).count();
  if (samples.map->Count() == 0) {
    std::fprintf(stderr, "patinex-cli weather: %s has no surface to sample\n", options.model.c_str());
    return kExitFailure;
  }

  // Tiled coordinates: the masks cover the model's tile, so the samples are moved onto the unit
  // square the masks span.
  if (layout.inOneTile && (layout.tileU != 0 || layout.tileV != 0)) {
    Simulation::SurfaceSample* items = samples.map->Items();
    for (uint32_t i = 0; i < samples.map->Count(); ++i) {
      items[i].u -= static_cast<float>(layout.tileU);
      items[i].v -= static_cast<float>(layout.tileV);
    }
  }

  RunState state;
  ThreadingLib::CriticalLock uiLock;
  std::atomic<uint8_t> finished{0};
  Simulation::SimulationParams params;
  params.kdTree = loaded.tree.get();
  params.mesh = loaded.soup.get();
  params.sampleMap = samples.map.get();
  params.steps = static_cast<int32_t>(options.steps);
  params.tonsPerStep = static_cast<int32_t>(options.tons);
  params.sampleSpacing = samples.spacing;
  params.uiLock = &uiLock;
  params.progress = OnProgress;
  params.finished = &finished;
  params.density = static_cast<int32_t>(options.density);
  params.stepFinished = OnStepFinished;
  params.userData = &state;
  params.maskFolder = options.out.c_str();
  params.workerCount = static_cast<int32_t>(options.threads);
  params.maskWidth = params.maskHeight = static_cast<uint32_t>(options.size);
  params.maskFormat = options.format;
  params.seed = static_cast<uint32_t>(options.seed);
  params.seeded = true;
  params.splat = &splat;

  Simulation::PatinexProcess process;
  WeatherProgress progress(stderr, params.steps, params.tonsPerStep);
  const auto runStart = std::chrono::steady_clock::now();
  size_t reportsShown = 0;
  bool interrupted = false;
  {
    const Platform::InterruptCatcher interrupts;
    ThreadingLib::Thread thread("weather", &process, 2, 0);
    if (!thread.Start(&params, sizeof params)) {
      std::fprintf(stderr, "patinex-cli weather: cannot start the simulation thread\n");
      return kExitFailure;
    }
    while (thread.IsRunning()) {
      if (interrupts.Requested() && !interrupted) {
        interrupted = true;
        process.Stop();
        progress.Line("interrupted: stopping at the next check (Ctrl+C again to quit at once)");
      }
      std::vector<Simulation::StepReport> fresh;
      {
        std::lock_guard lock(state.reportsMutex);
        fresh.assign(state.reports.begin() + static_cast<long>(reportsShown), state.reports.end());
        reportsShown = state.reports.size();
      }
      for (const Simulation::StepReport& report : fresh) PrintStepLine(progress, report);
      const int32_t step = state.stepsFinished.load(std::memory_order_relaxed);
      if (!interrupted && step < params.steps) progress.Update(step, state.tonsDone.load(std::memory_order_relaxed));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    thread.Wait();
    if (interrupts.Requested()) interrupted = true;
  }
  const double runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();

  for (size_t i = reportsShown; i < state.reports.size(); ++i) PrintStepLine(progress, state.reports[i]);
  progress.Finish();

  uint64_t tons = 0;
  uint64_t legs = 0;
  double traceSeconds = 0.0;
  double bakeSeconds = 0.0;
  int32_t masksSaved = 0;
  for (const Simulation::StepReport& report : state.reports) {
    tons += report.tons;
    legs += report.legs;
    traceSeconds += report.traceSeconds;
    bakeSeconds += report.bakeSeconds + report.ageSeconds;
    masksSaved += report.masksSaved;
  }
  const int32_t stepsDone = static_cast<int32_t>(state.reports.size());
  const double perStep = stepsDone > 0 ? 1.0 / stepsDone : 0.0;
  std::string exportError;
  const bool exporting = !options.exportPath.empty() && !interrupted && stepsDone > 0 && masksSaved == 3 * stepsDone;
  if (exporting) {
    int32_t lastStep = stepsDone - 1;
    AssetExport::ExportSettings settings;
    settings.size = static_cast<uint32_t>(options.size);
    if (AssetExport::ExportAgedAssetFromFolder(*loaded.model, options.out, &lastStep, settings, options.exportPath,
                                               &exportError)) {
      std::fprintf(stderr, "exported the model aged by step %d to %s\n", lastStep, options.exportPath.c_str());
    }
  }

  JsonWriter json(stdout);
  json.BeginObject();
  json.Field("model", options.model);
  json.Field("density", options.density);
  json.Field("samples", samples.map->Count());
  json.Field("spacing", samples.spacing);
  json.Field("sampleSeconds", sampleSeconds);
  json.Field("threads", options.threads > 0 ? options.threads : static_cast<long>(std::thread::hardware_concurrency()));
  json.Field("steps", options.steps);
  json.Field("stepsCompleted", stepsDone);
  json.Field("tonsPerStep", options.tons);
  json.Field("tons", tons);
  json.Field("legs", legs);
  json.Field("traceSecondsPerStep", traceSeconds * perStep);
  json.Field("bakeSecondsPerStep", bakeSeconds * perStep);
  json.Field("tonsPerSecond", traceSeconds > 0.0 ? static_cast<double>(tons) / traceSeconds : 0.0);
  json.Field("legsPerSecond", traceSeconds > 0.0 ? static_cast<double>(legs) / traceSeconds : 0.0);
  json.Field("runSeconds", runSeconds);
  json.Field("seed", options.seed);
  json.Field("maskSize", options.size);
  json.Field("maskFormat", std::string(options.format == Simulation::kMaskPng ? "png" : "jpg"));
  json.Field("out", options.out);
  json.Field("masksSaved", masksSaved);
  json.Field("interrupted", interrupted);
  json.Field("export", exporting && exportError.empty() ? options.exportPath : std::string());
  json.EndObject();
  json.Finish();

  if (interrupted) {
    if (stepsDone == 1) {
      std::fprintf(stderr, "interrupted after 1 of %ld steps: the masks of step 0 are saved in %s\n", options.steps,
                   options.out.c_str());
    } else if (stepsDone > 1) {
      std::fprintf(stderr, "interrupted after %d of %ld steps: the masks of steps 0 to %d are saved in %s\n", stepsDone,
                   options.steps, stepsDone - 1, options.out.c_str());
    } else {
      std::fprintf(stderr, "interrupted before the first step was finished: no masks were saved\n");
    }
    return kExitInterrupted;
  }
  if (!exportError.empty()) {
    std::fprintf(stderr, "patinex-cli weather: the aged asset was not exported: %s\n", exportError.c_str());
    return kExitFailure;
  }
  if (masksSaved < 3 * stepsDone) {
    std::fprintf(stderr, "patinex-cli weather: %d of %d masks could not be saved in %s (reasons above)\n",
                 3 * stepsDone - masksSaved, 3 * stepsDone, options.out.c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
