#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "assetexport/aged_export.h"
#include "assetexport/look_catalog.h"
#include "assetexport/texture_bake.h"
#include "platform_os/file_system.h"
#include "platform_os/folder_lock.h"
#include "platform_os/interrupt_catcher.h"
#include "platform_os/ranged_number.h"
#include "renderlib/gltf_source.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/patinex_process.h"
#include "simulation/emission_source.h"
#include "simulation/mask_baking.h"
#include "simulation/mask_files.h"
#include "simulation/mask_spaces.h"
#include "simulation/random_unit.h"
#include "simulation/run_record.h"
#include "simulation/sample_map_builder.h"
#include "simulation/session_file.h"
#include "simulation/simulation_params.h"
#include "simulation/texture_layout.h"
#include "threadinglib/thread.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/exported_files.h"
#include "tools/cli/json_output.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/memory_check.h"
#include "tools/cli/output_path.h"
#include "tools/cli/source_option.h"
#include "tools/cli/weather_progress.h"

namespace PatinexCli {
namespace {

int RunWeather(const Arguments& arguments);

// The ranges of the numbers the command takes. The masks' range is the export's, since --export
// bakes its textures at --size when it is given.
constexpr Platform::WholeRange kDensityRange{Simulation::kMinDensity, Simulation::kMaxDensity};
constexpr Platform::WholeRange kStepsRange{Simulation::kMinSteps, Simulation::kMaxSteps};
constexpr Platform::WholeRange kTonsRange{Simulation::kMinTonsPerStep, Simulation::kMaxTonsPerStep};
constexpr Platform::WholeRange kThreadsRange{1, 1024};
constexpr Platform::WholeRange kSeedRange{0, UINT32_MAX};
constexpr Platform::WholeRange kSizeRange{AssetExport::kMinBakeSize, AssetExport::kMaxBakeSize};

const std::string kWeatherHelp =
    "Ages the model MODEL (OBJ or glTF) as the program's Weather command does: covers it with\n"
    "surface samples at density N (" + Platform::RangeText(kDensityRange) + ", default 100), then runs N steps (" +
    Platform::RangeText(kStepsRange) + ", default 1) of N\n"
    "tons each (" + Platform::RangeText(kTonsRange) +
    ", default 1000) and writes the humidity, dirt and rust masks of\n"
    "every step to DIR (default media, made if missing) as mask_humidity00.jpg,\n"
    "mask_dirt00.jpg, mask_rust00.jpg and so on. Numbers outside their range are clamped, with\n"
    "a note. --threads N sets the tracing workers (" + Platform::RangeText(kThreadsRange) +
    ", default one per processor).\n"
    "--seed N (" + Platform::RangeText(kSeedRange) + ", default 5489) seeds the run's random streams: with one worker\n"
    "the same inputs and seed give the same masks, byte for byte, and another seed another run.\n"
    "--deterministic makes them the same on any number of workers: the tons run in fixed batches\n"
    "whose trades are applied in the tons' order (a little slower, and other masks than the\n"
    "default run's). The record and the session remember it, and --resume continues in that mode.\n"
    "--from X,Y,Z (any length, not 0,0,0; default 0,1,0, straight up) is the direction from the\n"
    "model towards where the weather comes from, and --spread DEGREES (1 to 180, default 90) the\n"
    "half-angle of the cone the tons come from about it: the default is the hemisphere above the\n"
    "model, --from 1,0,0 --spread 20 a wind from +x. The record, the session and the summary\n"
    "(from, spread) keep them; --resume continues with the session's and refuses others.\n"
    "--size N makes masks of N x N texels (" + Platform::RangeText(kSizeRange) +
    ", default 1024); --format png writes them\n"
    "as 16-bit grey PNG (mask_dirt00.png ...) instead of 8-bit JPEG. The window program reads\n"
    "1024 x 1024 JPEG masks; the other sizes and PNG are for export, for example a 2K 16-bit set:\n"
    "  patinex-cli weather media/bunny.obj --steps 3 --size 2048 --format png --out export\n"
    "Masks are baked in texture space: a model without texture coordinates, or whose triangles\n"
    "all lie outside [0, 1] x [0, 1], is refused (exit status 1). Coordinates that all lie in one\n"
    "tile [k, k + 1] x [l, l + 1] give masks of that tile; otherwise the share of triangles\n"
    "outside the masks is reported, and so are the texture charts of a material that overlap one\n"
    "another on more than 0.5 % of the texels they cover (the masks of materials whose charts\n"
    "overlap each other's are kept apart, in mask spaces of their own: space s >= 1 writes\n"
    "mask_dirt00_space1.jpg and so on, and the summary lists the materials of each space). The\n"
    "loader's messages (faces it dropped) are shown as warnings.\n"
    "A run that cannot fit in the memory left (the samples, and the masks at the chosen size) is\n"
    "refused before it starts (the estimate errs on the safe side; --no-memory-check tries all\n"
    "the same); one that runs out of memory stops with exit status 1, leaving whole masks only.\n"
    "Beside the masks the run keeps DIR/patinex_run.json, the record of its history (the model's\n"
    "file name and geometry checksum, mask size and format, density, and each step saved with\n"
    "its tons and seed). A run starts a history of its own: masks an earlier run left in DIR go,\n"
    "with their record and session, into DIR/earlier/<UTC date and time>/ (said on stderr and as\n"
    "earlierMasksMovedTo in the summary), so DIR never mixes two histories.\n"
    "After every step saved the run also keeps DIR/patinex_session.bin, the samples' state and\n"
    "what is needed to carry on. --resume continues that session instead of starting anew: the\n"
    "samples come from it, the steps are numbered on from its last one, the earlier masks stay and\n"
    "the record is extended. --tons and --seed default to the session's; --density, --size and\n"
    "--format, when given, must be the session's. It is refused (exit status 1) when DIR holds no\n"
    "session, an unreadable or damaged one, or one of another model, density, mask size, format\n"
    "or mask spaces. With one worker and the same seed, a run continued with --resume makes the\n"
    "masks one uninterrupted run of all the steps makes, byte for byte.\n"
    "Only one run at a time writes into DIR: a second one exits with status 1 naming the first,\n"
    "or with --wait waits until the first has ended. After a step whose masks could not all be\n"
    "saved the run stops.\n"
    "The splat is media/SPLAT.png as the media search finds it (around the current folder and\n"
    "the program, or PREFIX/share/patinex/media of an install); without one the copy built into\n"
    "the program is used.\n"
    "--export OUT.glb (or OUT.gltf) writes the model aged by the last step's masks as a glTF 2.0\n"
    "asset after the run, as 'patinex-cli export' does (baked at --size when it is given, else\n"
    "each material at the size of its largest map); a run that does not finish every step\n"
    "exports nothing. OUT's folder is made if missing; one that cannot be written is refused\n"
    "before the run.\n"
    "--look NAME|FILE (a name patinex-cli looks lists, or a look file; checked before the run) is the\n"
    "look --export bakes; the run record remembers it, so a later export of DIR and a run continued\n"
    "with --resume bake it too.\n"
    "Progress goes to stderr: text (a bar on a terminal, a line now and then otherwise), with\n"
    "--progress json one JSON object a line ({\"schema\", \"event\": \"progress\", \"step\", \"steps\",\n"
    "\"stepShare\", \"tonsPerSecond\", \"secondsLeft\"} at most once a second; {\"event\": \"step\", \"step\",\n"
    "\"steps\", \"historyStep\", \"tons\", \"legs\", \"seconds\": {\"trace\", \"bake\"}, \"masksSaved\",\n"
    "\"masks\"} for each step done; {\"event\": \"message\", \"text\"}), and none with --quiet (warnings\n"
    "and errors are still said). Steps count from 1: step 1 of a run continued after three steps is\n"
    "step 4 of the history, mask number 03, and export --step 4 exports it.\n"
    "At the end a JSON summary goes to stdout, on a failure too once the options are read (with\n"
    "\"error\"; the README lists its keys). Ctrl+C (or SIGTERM or SIGHUP) stops the run at its\n"
    "next check, within moments: the masks of finished steps stay,\n"
    "those of the step under way are not saved, and the exit status is 128 + the signal's\n"
    "number (130 for Ctrl+C). A second one quits at once. Nothing unfinished is ever left under\n"
    "a mask's name.";

const Command kWeatherCommand = {
    "weather",
    "weather MODEL [--density N] [--steps N] [--tons N] [--out DIR] [--threads N] [--seed N] [--deterministic] "
    "[--from X,Y,Z] [--spread DEGREES] [--size N] [--format jpg|png] [--export OUT.glb|OUT.gltf] [--look NAME|FILE] "
    "[--resume] [--wait] [--no-memory-check] "
    "[--progress text|json] [--quiet]",
    kWeatherHelp.c_str(),
    RunWeather,
};

const CommandRegistration kRegistration(kWeatherCommand);

struct Options {
  std::string model;
  std::string out = "media";
  int64_t density = 100;
  int64_t steps = 1;
  int64_t tons = 1000;
  int64_t threads = 0;  // one per processor
  int64_t seed = Simulation::RandomStream::kDefaultSeed;
  int64_t size = 1024;
  bool sizeGiven = false;  // the export bakes at --size only when it is given
  // A continued session takes these from the session unless they are given.
  bool densityGiven = false;
  bool formatGiven = false;
  bool tonsGiven = false;
  bool seedGiven = false;
  bool resume = false;
  bool deterministic = false;
  // Where the weather comes from; a continued session keeps its own unless these are given.
  Simulation::EmissionSource source;
  RenderLib::Vector3 from{0.0f, 1.0f, 0.0f};
  float spread = 90.0f;
  bool fromGiven = false;
  bool spreadGiven = false;
  int32_t format = Simulation::kMaskJpeg;
  bool wait = false;  // for another run holding the output folder
  bool memoryCheck = true;
  std::string exportPath;
  std::string look;
  ProgressStyle progress = ProgressStyle::kText;
};

struct NumberOption {
  const char* name;
  int64_t Options::*field;
  Platform::WholeRange range;
};

const NumberOption kNumberOptions[] = {
    {"--density", &Options::density, kDensityRange}, {"--steps", &Options::steps, kStepsRange},
    {"--tons", &Options::tons, kTonsRange},          {"--threads", &Options::threads, kThreadsRange},
    {"--seed", &Options::seed, kSeedRange},          {"--size", &Options::size, kSizeRange},
};

// Everything the run's callbacks share with the command's own thread.
struct RunState {
  std::atomic<int32_t> tonsDone{0};
  std::atomic<int32_t> stepsFinished{0};
  Simulation::PatinexProcess* process = nullptr;
  std::mutex reportsMutex;
  // Guarded by reportsMutex; room for every step is reserved before the run, since a report
  // may arrive when memory has run out.
  std::vector<Simulation::StepReport> reports;
};

void OnProgress(int32_t done, int32_t /*total*/, void* userData) {
  static_cast<RunState*>(userData)->tonsDone.store(done, std::memory_order_relaxed);
}

void OnStepFinished(const Simulation::StepReport& report, void* userData) {
  RunState& state = *static_cast<RunState*>(userData);
  state.tonsDone.store(0, std::memory_order_relaxed);
  // A step that failed, or could not save its masks, will not go better for the next one: the
  // run stops here rather than trace steps it cannot keep.
  if (report.failure != nullptr || report.masksSaved < report.masks) state.process->Stop();
  std::lock_guard lock(state.reportsMutex);
  if (state.reports.size() < state.reports.capacity()) state.reports.push_back(report);
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
    if (number != nullptr || argument == "--out" || argument == "--format" || argument == "--export" ||
        argument == "--progress" || argument == "--look" || argument == "--from" || argument == "--spread") {
      if (i + 1 == arguments.size()) return UsageError(kWeatherCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      if (argument == "--from" || argument == "--spread") {
        std::string error;
        if (argument == "--from" ? !ParseDirectionText(value, &options.from, &error)
                                 : !ParseSpreadText(value, &options.spread, &error)) {
          return UsageError(kWeatherCommand, argument + ": " + error);
        }
        (argument == "--from" ? options.fromGiven : options.spreadGiven) = true;
        continue;
      }
      if (argument == "--format") {
        if (value != "jpg" && value != "png") {
          return UsageError(kWeatherCommand, "--format is jpg or png, not '" + value + "'");
        }
        options.format = value == "png" ? Simulation::kMaskPng : Simulation::kMaskJpeg;
        options.formatGiven = true;
        continue;
      }
      if (argument == "--progress") {
        if (value != "text" && value != "json") {
          return UsageError(kWeatherCommand, "--progress is text or json, not '" + value + "'");
        }
        // --quiet wins whichever comes first: a pipeline may add it to a line that asks for json.
        if (options.progress != ProgressStyle::kQuiet) {
          options.progress = value == "json" ? ProgressStyle::kJson : ProgressStyle::kText;
        }
        continue;
      }
      if (argument == "--look") {
        if (value.empty()) return UsageError(kWeatherCommand, "--look needs a look's name or file");
        options.look = value;
        // The record keeps a look file by its absolute path, so that an export from elsewhere finds it.
        std::error_code code;
        const std::filesystem::path absolute = std::filesystem::absolute(value, code);
        if (AssetExport::NamesLookFile(value) && !code) options.look = absolute.lexically_normal().string();
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
      std::string note;
      std::string error;
      if (!Platform::ReadWholeOption(argument, value, number->range, &(options.*(number->field)), &note, &error)) {
        return UsageError(kWeatherCommand, error);
      }
      if (!note.empty()) std::fprintf(stderr, "patinex-cli weather: %s\n", note.c_str());
      if (number->field == &Options::size) options.sizeGiven = true;
      if (number->field == &Options::density) options.densityGiven = true;
      if (number->field == &Options::tons) options.tonsGiven = true;
      if (number->field == &Options::seed) options.seedGiven = true;
    } else if (argument == "--quiet") {
      options.progress = ProgressStyle::kQuiet;
    } else if (argument == "--resume") {
      options.resume = true;
    } else if (argument == "--deterministic") {
      options.deterministic = true;
    } else if (argument == "--wait") {
      options.wait = true;
    } else if (argument == "--no-memory-check") {
      options.memoryCheck = false;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kWeatherCommand, "unknown option " + argument);
    } else if (!options.model.empty()) {
      return UsageError(kWeatherCommand, "one model at a time");
    } else {
      options.model = argument;
    }
  }
  if (options.model.empty()) return UsageError(kWeatherCommand, "no model given");
  if (std::string error; !Simulation::MakeEmissionSource(options.from, options.spread, &options.source, &error)) {
    return UsageError(kWeatherCommand, "--from/--spread: " + error);
  }
  return -1;
}

// Says what the masks can make of the model's texture coordinates. False, with the reason in
// error, when they cannot be baked at all.
bool ReportTextureLayout(const std::string& model, const Simulation::TextureLayout& layout,
                         const std::vector<RenderLib::MaterialHandle>& materials, std::string* error) {
  *error = Simulation::TextureLayoutRefusal(layout, model);
  if (!error->empty()) return false;
  if (layout.inOneTile && (layout.tileU != 0 || layout.tileV != 0)) {
    std::fprintf(stderr,
                 "patinex-cli weather: note: the texture coordinates of %s lie in the tile u %d..%d, v %d..%d; the "
                 "masks cover that tile\n",
                 model.c_str(), layout.tileU, layout.tileU + 1, layout.tileV, layout.tileV + 1);
  }
  const std::string tiling = Simulation::TextureLayoutTilingWarning(layout, model);
  if (!tiling.empty()) std::fprintf(stderr, "patinex-cli weather: warning: %s\n", tiling.c_str());
  // Materials whose charts overlap each other's have masks of their own; a material's charts
  // that overlap one another (mirrored halves) share texels.
  for (size_t material = 0; material < layout.materialCoverage.size(); ++material) {
    const double share = layout.materialCoverage[material].OverlapShare();
    if (share <= Simulation::kOverlapWarningShare) continue;
    const std::string name = material < materials.size() && materials[material]
                                 ? "material " + std::string(materials[material]->name)
                                 : "the triangles without a material";
    std::fprintf(stderr,
                 "patinex-cli weather: warning: in %s, the texture charts of %s overlap on %.1f %% of the texels "
                 "they cover (of a 1024 x 1024 raster); overlapping parts share their mask texels\n",
                 model.c_str(), name.c_str(), 100.0 * share);
  }
  return true;
}

// The loader's messages as warnings: a face it dropped is part of the model that will not age.
void ShowLoaderMessages(const std::string& model, const RenderLib::ErrorList& messages) {
  constexpr size_t kShown = 10;
  for (size_t i = 0; i < messages.size() && i < kShown; ++i) {
    std::fprintf(stderr, "patinex-cli weather: warning: %s: %s\n", model.c_str(), messages[i].c_str());
  }
  if (messages.size() > kShown) {
    std::fprintf(stderr, "patinex-cli weather: warning: %s: %zu more messages like these\n", model.c_str(),
                 messages.size() - kShown);
  }
}

// Takes the output folder for this run; false, with why in error, when it cannot be had (or a
// signal came while waiting for it).
bool LockOutputFolder(const Options& options, const Platform::InterruptCatcher& interrupts, Platform::FolderLock& lock,
                      std::string* error) {
  bool told = false;
  while (true) {
    int64_t holder = 0;
    switch (lock.TryTake(options.out, &holder, error)) {
      case Platform::FolderLock::Result::kTaken:
        return true;
      case Platform::FolderLock::Result::kFailed:
        return false;
      case Platform::FolderLock::Result::kHeld:
        break;
    }
    const std::string who = holder > 0 ? "process " + std::to_string(holder) : "another process";
    if (!options.wait) {
      *error = options.out + " is in use by another weathering run (" + who +
               "); wait until it ends, or run with --wait to wait for it";
      return false;
    }
    if (!told) {
      std::fprintf(stderr, "patinex-cli weather: waiting for %s, which is writing into %s\n", who.c_str(),
                   options.out.c_str());
      told = true;
    }
    if (interrupts.Requested()) {
      *error = "interrupted while waiting for " + who;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// A run starts a history of its own at step 0: the masks an earlier run left in the folder (and
// its record) are moved into earlier/<time>/, so that the folder never holds steps of two
// histories. False, with why, when they cannot be moved.
bool MoveEarlierHistoryAside(const Options& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                             std::string* movedTo, std::string* error) {
  Simulation::HistoryIdentity mine;
  mine.modelName = std::filesystem::path(options.model).filename().string();
  mine.modelChecksum = Simulation::ModelChecksum(soup);
  mine.maskWidth = mine.maskHeight = static_cast<uint32_t>(options.size);
  mine.maskFormat = options.format;
  mine.density = static_cast<int32_t>(options.density);
  mine.maskSpaces = spaceCount;
  std::string why = Simulation::HistoryDifference(options.out, mine);
  if (why.empty()) why = "an earlier run of the same model, mask size and density; this run starts from step 0";
  std::string moveError;
  if (!Simulation::MoveHistoryAside(options.out, movedTo, &moveError)) {
    *error = "the masks of an earlier run in " + options.out + " (" + why + ") could not be moved aside: " + moveError;
    return false;
  }
  if (!movedTo->empty()) {
    std::fprintf(stderr, "patinex-cli weather: %s held the masks of another history, %s; they were moved to %s\n",
                 options.out.c_str(), why.c_str(), movedTo->c_str());
  }
  return true;
}

// Takes the session in the output folder for a run that continues it: what it holds decides
// what was not given, and what was given must agree with it. False, with why, when it cannot be
// continued by this model and these options.
bool TakeSession(Options& options, const RenderLib::TriangleSoup& soup, int32_t spaceCount,
                 Simulation::SessionState* session, std::string* error) {
  std::string why;
  switch (Simulation::ReadSessionFile(options.out, session, &why)) {
    case Simulation::SessionLoad::kNone:
      *error = "cannot resume: " + options.out + " holds no session to continue (" + Simulation::kSessionName +
               "); a run without --resume starts one";
      return false;
    case Simulation::SessionLoad::kUnreadable:
      *error = "cannot resume: " + why;
      return false;
    case Simulation::SessionLoad::kFound:
      break;
  }
  const Simulation::HistoryIdentity& kept = session->identity;
  Simulation::HistoryIdentity mine;
  mine.modelName = std::filesystem::path(options.model).filename().string();
  mine.modelChecksum = Simulation::ModelChecksum(soup);
  mine.maskWidth = options.sizeGiven ? static_cast<uint32_t>(options.size) : kept.maskWidth;
  mine.maskHeight = options.sizeGiven ? static_cast<uint32_t>(options.size) : kept.maskHeight;
  mine.maskFormat = options.formatGiven ? options.format : kept.maskFormat;
  mine.density = options.densityGiven ? static_cast<int32_t>(options.density) : kept.density;
  mine.maskSpaces = spaceCount;
  if (const std::string difference = mine.Difference(kept); !difference.empty()) {
    *error = "cannot resume the session in " + options.out + ": it holds " + difference;
    return false;
  }
  options.size = kept.maskWidth;
  options.format = kept.maskFormat;
  options.density = kept.density;
  if (!options.tonsGiven) options.tons = session->tonsPerStep;
  if (!options.seedGiven && session->seeded) options.seed = session->seed;
  if (session->deterministic) options.deterministic = true;
  // A history's weather comes from one side: a continuation given another is refused rather
  // than mixing two sources in one set of emission points.
  const Simulation::EmissionSource& saved = session->source;
  Simulation::EmissionSource asked = saved;
  if (options.fromGiven) asked.towards = options.source.towards;
  if (options.spreadGiven) asked.spreadDegrees = options.source.spreadDegrees;
  if (!Simulation::SameSource(asked, saved)) {
    char spread[32];
    std::snprintf(spread, sizeof spread, "%g", double(saved.spreadDegrees));
    *error = "cannot resume the session in " + options.out + ": its weather comes from " +
             DirectionText(saved.towards) + " with a spread of " + spread +
             " degrees; leave out --from and --spread to continue it";
    return false;
  }
  options.source = saved;
  return true;
}

// What the command prints at its end, whichever way it ends.
struct Outcome {
  const Options* options = nullptr;
  uint32_t samples = 0;
  float spacing = 0.0f;
  double sampleSeconds = 0.0;
  double runSeconds = 0.0;
  const std::vector<Simulation::StepReport>* reports = nullptr;
  std::string error;  // what made the command fail; empty when it did not
  bool interrupted = false;
  bool exported = false;
  std::vector<std::string> exportFiles;  // absolute
  std::string movedAside;  // where an earlier history's masks went, if anywhere
  int32_t firstStep = 0;   // the mask number of the run's first step: after the session's last when resuming
  // The materials of each mask space, by name, when the model has several spaces.
  std::vector<std::vector<std::string>> spaceMaterials;
  // The materials the export wrote, with the size each was baked at.
  std::vector<AssetExport::ExportedMaterial> exportedMaterials;
};

// The materials an export wrote, as `export` lists them.
Json ExportedMaterialsJson(const std::vector<AssetExport::ExportedMaterial>& materials) {
  Json list = Json::array();
  for (const AssetExport::ExportedMaterial& material : materials) {
    list.push_back(Json{{"name", material.name}, {"textureSize", material.size}});
  }
  return list;
}

// The names of the materials in each mask space (a material without a name is "").
std::vector<std::vector<std::string>> SpaceMaterials(const RenderLib::TriangleSoup& soup) {
  const Simulation::MaskSpaces spaces = Simulation::AssignMaskSpaces(soup);
  std::vector<std::vector<std::string>> names(size_t(spaces.count));
  const std::vector<RenderLib::MaterialHandle>& materials = soup.Materials();
  for (size_t m = 0; m < materials.size() && m < spaces.spaceOfMaterial.size(); ++m) {
    names[size_t(spaces.spaceOfMaterial[m])].push_back(materials[m] ? materials[m]->name : "");
  }
  return names;
}

// The masks, record and session the run's finished steps left in the output folder, absolute.
Json WrittenFiles(const Outcome& outcome) {
  const Options& options = *outcome.options;
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

// The summary on stdout, whichever way the command ends once its options are read: what is not
// known (yet) is null, and a failure is said in "error".
void PrintSummary(const Outcome& outcome) {
  const Options& options = *outcome.options;
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

// The end of a run cut short by a signal: the summary, what was kept, 128 + the signal.
int Interrupted(Outcome& outcome, const Platform::InterruptCatcher& interrupts) {
  outcome.interrupted = true;
  PrintSummary(outcome);
  const Options& options = *outcome.options;
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

// A failure once the options are read: said on stderr, and the summary with it in "error".
int Fail(Outcome& outcome, const std::string& reason) {
  std::fprintf(stderr, "patinex-cli weather: %s\n", reason.c_str());
  outcome.error = reason;
  PrintSummary(outcome);
  return kExitFailure;
}

int RunWeather(const Arguments& arguments) {
  Options options;
  if (int usage = ParseOptions(arguments, options); usage >= 0) return usage;
  // Before any work, so that a signal while loading or sampling ends the run as one during the
  // steps does. It stays until the process has ended: a signal that comes once the work is done,
  // while the program exits, has nothing left to stop and must not turn a finished run into a
  // killed one.
  static const Platform::InterruptCatcher& interrupts = *new Platform::InterruptCatcher;
  Outcome outcome;
  outcome.options = &options;

  std::string error;
  // An export that cannot be written is said before the run, not found out after it; its
  // folder is made as the masks' is.
  if (!options.exportPath.empty()) {
    const std::filesystem::path target(options.exportPath);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    std::error_code kind;
    if (std::filesystem::is_directory(target, kind)) {
      return Fail(outcome, "cannot write the export " + options.exportPath + ": it is a folder");
    }
    if (!MakeParentFolder(options.exportPath, &error) || !Platform::IsWritableFolder(folder, &error)) {
      return Fail(outcome, "cannot write the export " + options.exportPath + ": " + error);
    }
  }
  // A look that cannot be read is said before the run, too.
  if (AssetExport::Look look; !options.look.empty() && !AssetExport::FindLook(options.look, &look, &error)) {
    return Fail(outcome, error);
  }

  LoadedModel loaded;
  // An export bakes the model's own textures into the aged ones; masks alone need none.
  const RenderLib::Textures textures = options.exportPath.empty() ? RenderLib::Textures::kSkip
                                                                  : RenderLib::Textures::kLoad;
  if (!LoadModelForTracing(options.model, loaded, error, textures)) return Fail(outcome, error);
  ShowLoaderMessages(options.model, loaded.messages);
  if (interrupts.Requested()) return Interrupted(outcome, interrupts);
  // The placements of a mesh used by several nodes share their texels by design: said once, and
  // not counted as charts that overlap.
  for (const RenderLib::RepeatedMesh& mesh : RenderLib::RepeatedMeshes(*loaded.model)) {
    std::fprintf(stderr,
                 "patinex-cli weather: note: %s places %s %d times; the instances share their texels, so they age "
                 "alike (give each its own mesh to age them apart)\n",
                 options.model.c_str(), mesh.name.c_str(), mesh.placements);
  }
  const Simulation::TextureLayout layout =
      Simulation::AnalyseTextureLayout(*loaded.soup, RenderLib::RepeatedPlacementTriangles(*loaded.model));
  if (!ReportTextureLayout(options.model, layout, loaded.soup->Materials(), &error)) return Fail(outcome, error);
  outcome.spaceMaterials = SpaceMaterials(*loaded.soup);
  if (outcome.spaceMaterials.size() > 1) {
    // Said before the run, so that the files of spaces 1 and up are not a surprise.
    std::string list;
    for (size_t space = 0; space < outcome.spaceMaterials.size(); ++space) {
      list += (space > 0 ? "; " : "") + std::to_string(space) + ":";
      for (const std::string& name : outcome.spaceMaterials[space]) list += " " + name;
    }
    std::fprintf(stderr,
                 "patinex-cli weather: note: the texture charts of some materials of %s overlap others', so their "
                 "masks are kept apart in %zu mask spaces (space s >= 1 writes mask_*NN_space<s>): %s\n",
                 options.model.c_str(), outcome.spaceMaterials.size(), list.c_str());
  }
  Simulation::SplatImage splat;
  if (!Platform::MakeWritableFolder(options.out, &error) || !ShippedMedia::LoadSplat(splat, &error)) {
    return Fail(outcome, error);
  }
  Platform::FolderLock folderLock;
  if (!LockOutputFolder(options, interrupts, folderLock, &error)) {
    return interrupts.Requested() ? Interrupted(outcome, interrupts) : Fail(outcome, error);
  }
  // Read once the folder is ours, so that no run rewrites the session meanwhile.
  Simulation::SessionState session;
  if (options.resume &&
      !TakeSession(options, *loaded.soup, static_cast<int32_t>(outcome.spaceMaterials.size()), &session, &error)) {
    return Fail(outcome, error);
  }

  // What the run will take, refused at once when it cannot fit rather than found out midway.
  const uint64_t maxSamples = Simulation::MaxSampleCount(loaded.soup->GetBoundingBox(), int32_t(options.density));
  const bool png = options.format == Simulation::kMaskPng;
  const uint32_t size = static_cast<uint32_t>(options.size);
  MemoryNeed need;
  const uint64_t sampleBytes = Simulation::SampleMapBuildBytes(maxSamples);
  const uint64_t maskBytes = Simulation::MaskBakeBytes(size, size, png, maxSamples);
  const uint64_t runBytes = Simulation::RunBytes(int32_t(options.steps), int32_t(options.tons), maxSamples);
  need.bytes = sampleBytes + maskBytes + runBytes;
  const int64_t workers = options.threads > 0 ? options.threads : int64_t(std::thread::hardware_concurrency());
  need.threads = static_cast<int32_t>(workers) + 3;  // and the run's thread and two bake helpers
  need.breakdown = ByteCount(maskBytes) + " for three " + std::to_string(size) + " x " + std::to_string(size) +
                   " masks, " + ByteCount(sampleBytes) + " for up to " + std::to_string(maxSamples) +
                   " samples at density " + std::to_string(options.density) + ", " + ByteCount(runBytes) +
                   " for the tons";
  if (options.memoryCheck && !FitsInMemory(need, error)) {
    return Fail(outcome, error + "; a smaller --size or --density needs less (or --no-memory-check tries all the same)");
  }

  const auto sampleStart = std::chrono::steady_clock::now();
  Simulation::SampleMapBuild samples;
  try {
    if (options.resume) {
      // The session's samples, in their map's order, as its last step left them (already moved
      // onto the masks' tile).
      samples.map = std::make_unique<Simulation::SampleMap>(session.samples.data(),
                                                            static_cast<uint32_t>(session.samples.size()),
                                                            session.identity.maskSpaces);
      samples.spacing = session.sampleSpacing;
      std::vector<Simulation::SurfaceSample>().swap(session.samples);
    } else {
      const Simulation::SamplingControl control{nullptr, &interrupts.Flag()};
      samples = Simulation::BuildSampleMap(*loaded.tree, *loaded.soup, static_cast<int32_t>(options.density),
                                           nullptr, &control);
    }
  } catch (const std::bad_alloc&) {
    samples.outOfMemory = true;
  }
  outcome.sampleSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sampleStart).count();
  if (interrupts.Requested()) return Interrupted(outcome, interrupts);
  if (samples.outOfMemory) {
    return Fail(outcome, "out of memory while sampling " + options.model + " at density " + std::to_string(options.density) +
                "; a smaller --density needs less");
  }
  if (samples.map->Count() == 0) return Fail(outcome, options.model + " has no surface to sample: no sampling ray met it");
  outcome.samples = samples.map->Count();
  outcome.spacing = samples.spacing;

  // Tiled coordinates: the masks cover the model's tile, so the samples are moved onto the unit
  // square the masks span.
  if (!options.resume && layout.inOneTile && (layout.tileU != 0 || layout.tileV != 0)) {
    Simulation::SurfaceSample* items = samples.map->Items();
    for (uint32_t i = 0; i < samples.map->Count(); ++i) {
      items[i].u -= static_cast<float>(layout.tileU);
      items[i].v -= static_cast<float>(layout.tileV);
    }
  }

  // Only a run that is about to start moves an earlier history: one refused or stopped before
  // leaves the folder as it was.
  const int32_t spaceCount = static_cast<int32_t>(outcome.spaceMaterials.size());
  if (!options.resume && !MoveEarlierHistoryAside(options, *loaded.soup, spaceCount, &outcome.movedAside, &error)) {
    return Fail(outcome, error);
  }

  Simulation::PatinexProcess process;
  RunState state;
  state.process = &process;
  state.reports.reserve(static_cast<size_t>(options.steps));
  outcome.reports = &state.reports;
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
  params.modelName = options.model.c_str();
  params.look = options.look.c_str();
  params.workerCount = static_cast<int32_t>(options.threads);
  params.maskWidth = params.maskHeight = size;
  params.maskFormat = options.format;
  params.seed = static_cast<uint32_t>(options.seed);
  params.seeded = true;
  params.deterministic = options.deterministic;
  params.source = options.source;
  if (options.resume) {
    params.maskHeight = session.identity.maskHeight;
    params.firstMaskNumber = outcome.firstStep = session.lastStep + 1;
    params.resumed = true;
    params.emissionRotation = session.emissionRotation;
    params.emissionsUsed = session.emissionsUsed;
  }
  params.splat = &splat;

  WeatherProgress progress(stderr, options.progress, params.steps, params.tonsPerStep, params.firstMaskNumber + 1);
  const auto runStart = std::chrono::steady_clock::now();
  size_t reportsShown = 0;
  bool stopping = false;
  {
    ThreadingLib::Thread thread("weather", &process, 2, 0);
    if (!thread.Start(&params, sizeof params)) return Fail(outcome, "cannot start the simulation thread");
    while (thread.IsRunning()) {
      if (interrupts.Requested() && !stopping) {
        stopping = true;
        process.Stop();
        progress.Line("interrupted: stopping at the next check (Ctrl+C again to quit at once)");
      }
      std::vector<Simulation::StepReport> fresh;
      {
        std::lock_guard lock(state.reportsMutex);
        fresh.assign(state.reports.begin() + static_cast<long>(reportsShown), state.reports.end());
        reportsShown = state.reports.size();
      }
      for (const Simulation::StepReport& report : fresh) progress.StepDone(report);
      const int32_t step = state.stepsFinished.load(std::memory_order_relaxed);
      if (!stopping && step < params.steps) progress.Update(step, state.tonsDone.load(std::memory_order_relaxed));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    thread.Wait();
  }
  outcome.runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();

  for (size_t i = reportsShown; i < state.reports.size(); ++i) progress.StepDone(state.reports[i]);
  progress.Finish();

  int32_t stepsDone = 0;
  int32_t masksSaved = 0;
  int32_t masksMade = 0;  // what the steps done should have saved: three for each mask space
  const char* stepFailure = nullptr;
  for (const Simulation::StepReport& report : state.reports) {
    if (report.failure != nullptr) {
      stepFailure = report.failure;
      continue;
    }
    ++stepsDone;
    masksSaved += report.masksSaved;
    masksMade += report.masks;
  }
  // A signal that came once every step was done stopped nothing: the run is complete.
  if (interrupts.Requested() && stepFailure == nullptr && stepsDone < options.steps && masksSaved == masksMade) {
    return Interrupted(outcome, interrupts);
  }
  if (stepFailure != nullptr) {
    return Fail(outcome, "the run failed after " + std::to_string(stepsDone) + " of " + std::to_string(options.steps) +
                             " steps: " + stepFailure);
  }
  if (masksSaved < masksMade) {
    return Fail(outcome, std::to_string(masksMade - masksSaved) + " of " + std::to_string(masksMade) +
                             " masks could not be saved in " + options.out + " (reasons above); the run stopped after step " +
                             std::to_string(stepsDone) + " of " + std::to_string(options.steps));
  }
  if (!options.exportPath.empty()) {
    int32_t lastStep = params.firstMaskNumber + stepsDone - 1;
    AssetExport::ExportSettings settings;
    settings.size = options.sizeGiven ? static_cast<uint32_t>(options.size) : 0;
    settings.maskFormat = options.format;  // not an earlier run's masks of the same step in the other format
    settings.stop = &interrupts.Flag();
    AssetExport::ExportTimes times;
    std::string exportError;
    outcome.exported = AssetExport::LookForMasks(options.look, options.out, &settings.agedLook, &exportError) &&
                       AssetExport::ExportAgedAssetFromFolder(*loaded.model, options.out, &lastStep, settings,
                                                              options.exportPath, &exportError, &times);
    for (const std::string& note : times.notes) {
      std::fprintf(stderr, "patinex-cli weather: note: %s: %s\n", options.model.c_str(), note.c_str());
    }
    outcome.exportedMaterials = std::move(times.materials);
    // A signal during the export stops it: the steps stay, nothing is exported.
    if (!outcome.exported && interrupts.Requested()) return Interrupted(outcome, interrupts);
    if (!outcome.exported) return Fail(outcome, "the aged asset was not exported: " + exportError);
    outcome.exportFiles = ExportedFiles(options.exportPath);
    // Counted from 1, as the progress and export --step count: the run's last step.
    if (options.progress != ProgressStyle::kQuiet) {
      std::fprintf(stderr, "exported the model aged by step %d to %s\n", lastStep + 1, options.exportPath.c_str());
    }
  }
  PrintSummary(outcome);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
