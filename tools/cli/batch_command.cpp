#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform_os/interrupt_catcher.h"
#include "platform_os/ranged_number.h"
#include "platform_os/temporary_file.h"
#include "tools/cli/batch_child.h"
#include "tools/cli/batch_manifest.h"
#include "tools/cli/batch_result.h"
#include "tools/cli/batch_runner.h"
#include "tools/cli/batch_slurm.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"

namespace PatinexCli {
namespace {

int RunBatchCommand(const Arguments& arguments);

const char kBatchHelp[] =
    "Ages every asset a manifest lists, each as 'patinex-cli weather' would, and exports it.\n"
    "The manifest is JSON; paths in it are relative to its folder:\n"
    "  {\"defaults\": {\"steps\": 2, \"tons\": 20000},\n"
    "   \"assets\": [{\"model\": \"props/lamp.glb\", \"out\": \"masks/lamp\", \"export\": \"aged/lamp.glb\",\n"
    "               \"seed\": 4}]}\n"
    "An asset names its model, its masks' folder (out) and its export, and may set weather's\n"
    "options under their names without dashes: steps, tons, density, seed, size, format (\"jpg\" or\n"
    "\"png\"), threads and deterministic (true or false); defaults sets them for every asset. An\n"
    "unknown key, a value out of weather's range or two assets sharing a folder or an export is\n"
    "refused before anything runs, naming the asset (counted from 0) and why (exit status 1).\n"
    "Each asset runs as a process of its own, its output kept in OUT/batch.log, --jobs N at a\n"
    "time (default: the processors this program may use over each asset's threads, at least 1;\n"
    "an asset that sets no threads gets processors / jobs). A model that cannot be read fails its\n"
    "asset only. Progress goes to stderr; the summary, each asset's model, status (done, failed,\n"
    "skipped or missing), seconds, export and message (its last error line, or null), goes to\n"
    "stdout and with --summary FILE to FILE too. Exit status 0 when every asset succeeded, else 1\n"
    "with the failed ones named on stderr.\n"
    "Running a manifest again redoes nothing: an asset whose export exists and whose record\n"
    "(OUT/patinex_run.json) holds the steps asked for is skipped, one stopped halfway runs its\n"
    "remaining steps with --resume, one that failed runs again. Ctrl+C (or SIGTERM, SIGHUP) stops\n"
    "every run as weather stops (whole masks only) and exits with 128 + the signal's number.\n"
    "Each asset's result is kept in OUT/batch-result.json.\n"
    "--task I runs asset I alone: what one task of a Slurm array job runs.\n"
    "--slurm writes a Slurm batch script for an array job of one task per asset (beside the\n"
    "manifest as NAME.sbatch, or --script FILE) with at most --limit L tasks at once, --cpus C a\n"
    "task, --time T and --partition P; the tasks' output goes beside the manifest. --submit hands\n"
    "it to sbatch and prints the job id. Once the job has ended, --collect gathers the tasks'\n"
    "results into the summary (an asset without one is missing), with the exit status as above.";

const Command kBatchCommand = {
    "batch",
    "batch MANIFEST [--jobs N] [--summary FILE] [--task I] | MANIFEST --slurm [--limit L] [--cpus C] [--time T] "
    "[--partition P] [--script FILE] [--submit] | MANIFEST --collect [--summary FILE]",
    kBatchHelp,
    RunBatchCommand,
};

const CommandRegistration kRegistration(kBatchCommand);

struct BatchOptions {
  std::string manifest;
  std::string summary;
  int64_t jobs = 0;  // 0: chosen from the processors
  int64_t task = -1;
  bool slurm = false;
  bool submit = false;
  bool collect = false;
  SlurmRequest request;
  std::string script;
};

constexpr Platform::WholeRange kCountRange{1, 4096};
constexpr Platform::WholeRange kTaskRange{0, 1000000};

int ParseBatchOptions(const Arguments& arguments, BatchOptions& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--slurm" || argument == "--submit" || argument == "--collect") {
      (argument == "--slurm" ? options.slurm : argument == "--submit" ? options.submit : options.collect) = true;
      continue;
    }
    const bool number = argument == "--jobs" || argument == "--task" || argument == "--limit" || argument == "--cpus";
    const bool word = argument == "--summary" || argument == "--time" || argument == "--partition" ||
                      argument == "--script";
    if (number || word) {
      if (i + 1 == arguments.size()) return UsageError(kBatchCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      if (word) {
        if (value.empty()) return UsageError(kBatchCommand, argument + " needs a value");
        std::string error;
        if ((argument == "--time" || argument == "--partition") && !CheckSlurmWord(argument.c_str(), value, &error)) {
          return UsageError(kBatchCommand, error);
        }
        (argument == "--summary"  ? options.summary
         : argument == "--time"   ? options.request.time
         : argument == "--script" ? options.script
                                  : options.request.partition) = value;
        continue;
      }
      int64_t* field = argument == "--jobs"    ? &options.jobs
                       : argument == "--task"  ? &options.task
                       : argument == "--limit" ? &options.request.limit
                                               : &options.request.cpus;
      const Platform::NumberReading<int64_t> reading =
          Platform::ReadWholeNumber(value, argument == "--task" ? kTaskRange : kCountRange);
      if (reading.verdict != Platform::NumberVerdict::kTaken) {
        return UsageError(kBatchCommand, argument + " takes a whole number from " +
                                             Platform::RangeText(argument == "--task" ? kTaskRange : kCountRange) +
                                             ", not '" + value + "'");
      }
      *field = reading.value;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kBatchCommand, "unknown option " + argument);
    } else if (!options.manifest.empty()) {
      return UsageError(kBatchCommand, "one manifest at a time");
    } else {
      options.manifest = argument;
    }
  }
  if (options.manifest.empty()) return UsageError(kBatchCommand, "no manifest given");
  const bool slurmOnly = options.submit || options.request.limit > 0 || options.request.cpus > 0 ||
                         !options.request.time.empty() || !options.request.partition.empty() || !options.script.empty();
  if (slurmOnly && !options.slurm) {
    return UsageError(kBatchCommand, "--submit, --limit, --cpus, --time, --partition and --script go with --slurm");
  }
  if (int(options.slurm) + int(options.collect) + int(options.task >= 0) > 1) {
    return UsageError(kBatchCommand, "--slurm, --collect and --task are different ways to run: one at a time");
  }
  if (options.jobs > 0 && (options.slurm || options.collect || options.task >= 0)) {
    return UsageError(kBatchCommand, "--jobs is for a batch run here, not with --slurm, --collect or --task");
  }
  if (options.slurm && !options.summary.empty()) {
    return UsageError(kBatchCommand, "--summary goes with a run or --collect; a Slurm job's is made by --collect");
  }
  return -1;
}

// The processors this process may run on: a Slurm task's share of its node when it runs in
// one (Slurm need not bind the task to them), else those its affinity allows (fewer than the
// machine's under taskset or a container's limit).
int64_t UsableProcessors() {
  if (const char* slurm = std::getenv("SLURM_CPUS_PER_TASK"); slurm != nullptr) {
    const Platform::NumberReading<int64_t> given = Platform::ReadWholeNumber(slurm, kCountRange);
    if (given.verdict == Platform::NumberVerdict::kTaken) return given.value;
  }
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return 1;
}

// Writes the summary where asked and on stdout; the exit status the results call for, naming
// the failures.
int Conclude(const BatchOptions& options, const BatchManifest& manifest, const std::vector<size_t>& indices,
             const std::vector<AssetResult>& results, int interruptedBy) {
  const Json summary = BatchSummaryJson(results);
  std::string error;
  bool written = true;
  if (!options.summary.empty()) {
    const std::filesystem::path target = std::filesystem::absolute(options.summary);
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
    written = WriteJsonFile(target.string(), summary, &error);
    if (!written) std::fprintf(stderr, "patinex-cli batch: the summary was not written: %s\n", error.c_str());
  }
  PrintJson(summary);
  size_t failed = 0;
  std::string names;
  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i].Succeeded()) continue;
    ++failed;
    names += "\n  " + AssetName(indices[i], manifest.assets[indices[i]].model) + " " + results[i].status +
             (results[i].message ? ": " + *results[i].message : "");
  }
  if (failed > 0) {
    std::fprintf(stderr, "patinex-cli batch: %zu of %zu assets did not succeed:%s\n", failed, results.size(),
                 names.c_str());
  }
  if (interruptedBy != 0) return 128 + interruptedBy;
  return failed == 0 && written ? kExitSuccess : kExitFailure;
}

int Collect(const BatchOptions& options, const BatchManifest& manifest) {
  std::vector<size_t> indices;
  std::vector<AssetResult> results;
  for (size_t i = 0; i < manifest.assets.size(); ++i) {
    const BatchAsset& asset = manifest.assets[i];
    std::string error;
    std::optional<AssetResult> result = ReadAssetResult(asset.outFolder, &error);
    if (!result) {
      result = AssetResult{asset.model, "missing", 0.0, "", error.empty() ? "no result in " + asset.outFolder : error};
    }
    indices.push_back(i);
    results.push_back(std::move(*result));
  }
  return Conclude(options, manifest, indices, results, 0);
}

int Slurm(const BatchOptions& options, const BatchManifest& manifest) {
  const std::filesystem::path manifestPath(manifest.path);
  const std::string script =
      options.script.empty() ? (manifestPath.parent_path() / (manifestPath.stem().string() + ".sbatch")).string()
                             : std::filesystem::absolute(options.script).lexically_normal().string();
  const std::string text = SlurmScript(manifest, options.request, OwnProgram());
  std::string error;
  Platform::TemporaryFile file(script);
  const bool written = file.Create(&error) && std::fwrite(text.data(), 1, text.size(), file.File()) == text.size() &&
                       file.Publish(&error);
  if (!written) {
    std::fprintf(stderr, "patinex-cli batch: cannot write the Slurm script %s: %s\n", script.c_str(), error.c_str());
    return kExitFailure;
  }
  std::string jobId;
  if (options.submit && !SubmitSlurmScript(script, &jobId, &error)) {
    std::fprintf(stderr, "patinex-cli batch: %s\n", error.c_str());
    return kExitFailure;
  }
  PrintJson(Json{{"script", script},
                 {"tasks", manifest.assets.size()},
                 {"jobId", jobId.empty() ? Json(nullptr) : Json(jobId)}});
  if (options.submit) {
    std::fprintf(stderr, "submitted array job %s; once it has ended: patinex-cli batch %s --collect\n",
                 jobId.c_str(), manifest.path.c_str());
  }
  return kExitSuccess;
}

int RunBatchCommand(const Arguments& arguments) {
  BatchOptions options;
  if (int usage = ParseBatchOptions(arguments, options); usage >= 0) return usage;
  BatchManifest manifest;
  std::string error;
  if (!ReadBatchManifest(options.manifest, &manifest, &error)) {
    std::fprintf(stderr, "patinex-cli batch: %s\n", error.c_str());
    return kExitFailure;
  }
  if (options.collect) return Collect(options, manifest);
  if (options.slurm) return Slurm(options, manifest);

  std::vector<size_t> indices;
  if (options.task >= 0) {
    if (size_t(options.task) >= manifest.assets.size()) {
      return UsageError(kBatchCommand, "--task " + std::to_string(options.task) + " is beyond the manifest's " +
                                           std::to_string(manifest.assets.size()) + " assets (0 to " +
                                           std::to_string(manifest.assets.size() - 1) + ")");
    }
    indices.push_back(size_t(options.task));
  } else {
    for (size_t i = 0; i < manifest.assets.size(); ++i) indices.push_back(i);
  }
  const int64_t processors = UsableProcessors();
  int64_t threadsPerJob = 0;  // the most an asset asks for
  for (const BatchAsset& asset : manifest.assets) {
    threadsPerJob = std::max(threadsPerJob, asset.settings.threads.value_or(0));
  }
  BatchRunSettings settings;
  settings.program = OwnProgram();
  settings.jobs = options.jobs > 0          ? options.jobs
                  : options.task >= 0       ? 1
                  : threadsPerJob > 0       ? std::max<int64_t>(1, processors / threadsPerJob)
                                            : 1;
  settings.threads = std::max<int64_t>(1, processors / settings.jobs);
  static const Platform::InterruptCatcher& interrupts = *new Platform::InterruptCatcher;
  const std::vector<AssetResult> results = RunBatch(manifest, indices, settings, interrupts, stderr);
  return Conclude(options, manifest, indices, results, interrupts.Signal());
}

}  // namespace
}  // namespace PatinexCli
