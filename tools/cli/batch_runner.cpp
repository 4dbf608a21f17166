#include "tools/cli/batch_runner.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "tools/cli/batch_asset_plan.h"
#include "tools/cli/batch_child.h"

namespace PatinexCli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Short enough that the batch adds next to nothing to an asset's time, long enough to cost no
// processor time to speak of.
constexpr auto kPollInterval = std::chrono::milliseconds(5);

struct Running {
  size_t slot = 0;  // into the indices
  std::unique_ptr<ChildProcess> child;
  Clock::time_point start;
};

struct Tally {
  size_t total = 0;
  size_t succeeded = 0;
  size_t failed = 0;
  size_t running = 0;
};

void PrintTally(std::FILE* progress, const Tally& tally) {
  std::fprintf(progress, "%zu of %zu done, %zu failed, %zu running\n", tally.succeeded, tally.total, tally.failed,
               tally.running);
  std::fflush(progress);
}

std::string ResultPath(const BatchAsset& asset) { return (fs::path(asset.outFolder) / kAssetResultName).string(); }

// Keeps the result beside the masks; one that cannot be kept fails the asset, since --collect
// would not find it.
void KeepResult(const BatchAsset& asset, AssetResult& result) {
  std::string error;
  if (!WriteJsonFile(ResultPath(asset), AssetResultJson(result), &error)) {
    result.status = "failed";
    result.message = "its result could not be kept: " + error;
  }
}

// A skipped asset's folder keeps the result that says it was finished; one is written only
// when there is none.
void KeepSkipped(const BatchAsset& asset, AssetResult& result) {
  std::string error;
  const std::optional<AssetResult> kept = ReadAssetResult(asset.outFolder, &error);
  if (kept && kept->Succeeded()) return;
  KeepResult(asset, result);
}

// Makes the asset's folders and starts its weather run; false with why when it cannot.
bool StartAsset(const BatchAsset& asset, const AssetPlan& plan, const BatchRunSettings& settings,
                ChildProcess& child, std::string* error) {
  std::error_code failure;
  for (const fs::path& folder : {fs::path(asset.outFolder), fs::path(asset.exportPath).parent_path()}) {
    fs::create_directories(folder, failure);
    if (failure) {
      *error = "cannot make the folder " + folder.string() + ": " + failure.message();
      return false;
    }
  }
  if (plan.action != AssetAction::kRun && !RecordAssetLook(asset, error)) return false;
  std::vector<std::string> arguments = WeatherArguments(asset, plan, settings.threads);
  arguments.insert(arguments.begin(), settings.program);
  return child.Start(settings.program, arguments, (fs::path(asset.outFolder) / kAssetLogName).string(), error);
}

AssetResult Finished(const BatchAsset& asset, const ChildProcess& child, double seconds) {
  AssetResult result;
  result.model = asset.model;
  result.seconds = seconds;
  std::error_code missing;
  if (child.Succeeded() && fs::is_regular_file(asset.exportPath, missing)) {
    result.status = "done";
    result.exportPath = asset.exportPath;
    return result;
  }
  result.status = "failed";
  const std::string log = (fs::path(asset.outFolder) / kAssetLogName).string();
  const std::string line = LastErrorLine(log);
  result.message = (line.empty() ? "weather ended with " + child.Ending() : line) + " (log: " + log + ")";
  if (child.Succeeded()) result.message = "weather succeeded but wrote no export " + asset.exportPath;
  return result;
}

void Announce(std::FILE* progress, size_t index, const AssetResult& result) {
  const std::string name = AssetName(index, result.model);
  if (result.status == "failed") {
    std::fprintf(progress, "%s failed: %s\n", name.c_str(), result.message->c_str());
  } else if (result.status == "skipped") {
    std::fprintf(progress, "%s skipped: finished by an earlier batch\n", name.c_str());
  } else {
    std::fprintf(progress, "%s done in %.1f s\n", name.c_str(), result.seconds);
  }
}

}  // namespace

std::vector<AssetResult> RunBatch(const BatchManifest& manifest, const std::vector<size_t>& indices,
                                  const BatchRunSettings& settings, const Platform::InterruptCatcher& interrupts,
                                  std::FILE* progress) {
  std::vector<AssetResult> results(indices.size());
  std::vector<Running> running;
  running.reserve(size_t(settings.jobs));
  Tally tally;
  tally.total = indices.size();
  size_t next = 0;
  bool stopping = false;
  const auto conclude = [&](size_t slot, AssetResult result) {
    const size_t index = indices[slot];
    (result.Succeeded() ? tally.succeeded : tally.failed) += 1;
    Announce(progress, index, result);
    results[slot] = std::move(result);
  };

  while (next < indices.size() || !running.empty()) {
    if (interrupts.Requested() && !stopping) {
      stopping = true;
      std::fprintf(progress, "interrupted: stopping %zu running assets\n", running.size());
      for (Running& run : running) run.child->Signal(interrupts.Signal());
    }
    bool changed = false;
    for (size_t i = 0; i < running.size();) {
      if (!running[i].child->Ended()) {
        ++i;
        continue;
      }
      const BatchAsset& asset = manifest.assets[indices[running[i].slot]];
      const double seconds = std::chrono::duration<double>(Clock::now() - running[i].start).count();
      AssetResult result = Finished(asset, *running[i].child, seconds);
      KeepResult(asset, result);
      conclude(running[i].slot, std::move(result));
      running.erase(running.begin() + long(i));
      changed = true;
    }
    while (!stopping && next < indices.size() && int64_t(running.size()) < settings.jobs) {
      const size_t slot = next++;
      const BatchAsset& asset = manifest.assets[indices[slot]];
      const AssetPlan plan = PlanAsset(asset);
      AssetResult result;
      result.model = asset.model;
      changed = true;
      if (plan.action == AssetAction::kSkip) {
        result.status = "skipped";
        result.exportPath = asset.exportPath;
        KeepSkipped(asset, result);
        conclude(slot, std::move(result));
        continue;
      }
      Running run{slot, std::make_unique<ChildProcess>(), Clock::now()};
      std::string error;
      if (!StartAsset(asset, plan, settings, *run.child, &error)) {
        result.status = "failed";
        result.message = error;
        KeepResult(asset, result);
        conclude(slot, std::move(result));
        continue;
      }
      if (plan.action == AssetAction::kResume) {
        std::fprintf(progress, "%s: resuming, %lld steps to go\n", AssetName(indices[slot], asset.model).c_str(),
                     static_cast<long long>(plan.steps));
      } else if (plan.action == AssetAction::kExport) {
        std::fprintf(progress, "%s: every step saved, exporting\n", AssetName(indices[slot], asset.model).c_str());
      }
      running.push_back(std::move(run));
    }
    tally.running = running.size();
    if (changed) PrintTally(progress, tally);
    if (!running.empty()) std::this_thread::sleep_for(kPollInterval);
    if (stopping && running.empty()) break;
  }
  for (size_t slot = next; slot < indices.size(); ++slot) {
    results[slot].model = manifest.assets[indices[slot]].model;
    results[slot].status = "missing";
    results[slot].message = "not started: the batch was interrupted";
  }
  return results;
}

}  // namespace PatinexCli
