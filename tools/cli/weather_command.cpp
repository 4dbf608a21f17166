#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "assetexport/aged_export.h"
#include "assetexport/look_catalog.h"
#include "platform_os/file_system.h"
#include "platform_os/folder_lock.h"
#include "platform_os/interrupt_catcher.h"
#include "platform_os/ranged_number.h"
#include "renderlib/gltf_source.h"
#include "shipped_media/shipped_splat.h"
#include "simulation/mask_baking.h"
#include "simulation/mask_files.h"
#include "simulation/patinex_process.h"
#include "simulation/sample_map_builder.h"
#include "simulation/session_file.h"
#include "simulation/simulation_params.h"
#include "simulation/texture_layout.h"
#include "threadinglib/thread.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/exported_files.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/memory_check.h"
#include "tools/cli/output_path.h"
#include "tools/cli/weather_options.h"
#include "tools/cli/weather_output_folder.h"
#include "tools/cli/weather_progress.h"
#include "tools/cli/weather_summary.h"

namespace PatinexCli {
namespace {

int RunWeather(const Arguments& arguments);

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

int RunWeather(const Arguments& arguments) {
  WeatherOptions options;
  if (int usage = ParseWeatherOptions(kWeatherCommand, arguments, options); usage >= 0) return usage;
  // Before any work, so that a signal while loading or sampling ends the run as one during the
  // steps does. It stays until the process has ended: a signal that comes once the work is done,
  // while the program exits, has nothing left to stop and must not turn a finished run into a
  // killed one.
  static const Platform::InterruptCatcher& interrupts = *new Platform::InterruptCatcher;
  WeatherOutcome outcome;
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
