// patinex-cli batch measured against the same weather runs made one after another by hand:
// what running the assets side by side gains, and what the batch itself costs an asset.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kCli = PATINEX_CLI;
const std::string kMedia = std::string(PATINEX_SOURCE_DIR) + "/media/";
const std::vector<std::string> kShippedModels = {"sphere.obj", "bunny.obj", "beethoven.obj"};

// A folder of its own for each run, removed when done with.
struct ScratchFolder {
  fs::path path = fs::temp_directory_path() / ("patinex_batch_bench_" + std::to_string(getpid()));
  ScratchFolder() { fs::create_directories(path); }
  ~ScratchFolder() { fs::remove_all(path); }
};

double SecondsOf(const std::string& command) {
  const Clock::time_point start = Clock::now();
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) return -1.0;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The manifest of the given models with one set of weather options, written into folder.
std::string Manifest(const fs::path& folder, const std::vector<std::string>& models, const std::string& options) {
  std::string assets;
  for (size_t i = 0; i < models.size(); ++i) {
    const std::string n = std::to_string(i);
    assets += std::string(i > 0 ? "," : "") + "{\"model\": \"" + kMedia + models[i] + "\", \"out\": \"m" + n +
              "\", \"export\": \"e" + n + ".glb\"}";
  }
  const std::string path = (folder / "manifest.json").string();
  std::ofstream(path) << "{\"defaults\": " << options << ", \"assets\": [" << assets << "]}";
  return path;
}

// The same runs as the batch makes, one after another, each with every processor.
std::string OneAfterAnother(const fs::path& folder, const std::vector<std::string>& models,
                            const std::string& options, int threads) {
  std::string command = "true";
  for (size_t i = 0; i < models.size(); ++i) {
    const std::string n = std::to_string(i);
    command += " && '" + kCli + "' weather '" + kMedia + models[i] + "' " + options + " --threads " +
               std::to_string(threads) + " --out '" + (folder / ("m" + n)).string() + "' --export '" +
               (folder / ("e" + n + ".glb")).string() + "'";
  }
  return command;
}

// The three shipped models by batch --jobs 2 (one worker each) against one after another with
// two workers each: the same processors in both. Goal: the batch in at most 0.65 x the time.
void BM_BatchOfShippedModels(benchmark::State& state) {
  const int processors = 2;
  const std::string json = "{\"steps\": 1, \"tons\": 20000, \"density\": 50, \"size\": 512}";
  const std::string flags = "--steps 1 --tons 20000 --density 50 --size 512";
  double batchSeconds = 0.0;
  double sequentialSeconds = 0.0;
  for (auto _ : state) {
    ScratchFolder side, sequence;
    const std::string manifest = Manifest(side.path, kShippedModels, json);
    const double batch = SecondsOf("'" + kCli + "' batch '" + manifest + "' --jobs 2");
    const double sequential = SecondsOf(OneAfterAnother(sequence.path, kShippedModels, flags, processors));
    if (batch < 0.0 || sequential < 0.0) {
      state.SkipWithError("a run failed");
      return;
    }
    batchSeconds += batch;
    sequentialSeconds += sequential;
    state.SetIterationTime(batch);
  }
  state.counters["batch_s"] = batchSeconds / double(state.iterations());
  state.counters["one_after_another_s"] = sequentialSeconds / double(state.iterations());
  state.counters["ratio"] = batchSeconds / sequentialSeconds;
}
BENCHMARK(BM_BatchOfShippedModels)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2);

// The batch's own cost an asset: its wall time less the time its runs took (each as the
// summary gives it), over the smallest runs one at a time. Goal: under 50 ms. Measured so,
// the cost does not drown in what the runs themselves vary by on a busy machine.
void BM_BatchCostPerAsset(benchmark::State& state) {
  const std::vector<std::string> models(8, "sphere.obj");
  const std::string json = "{\"steps\": 1, \"tons\": 10, \"density\": 5, \"size\": 64, \"threads\": 1}";
  double own = 0.0;
  for (auto _ : state) {
    ScratchFolder side;
    const fs::path summary = side.path / "summary.json";
    const double batch = SecondsOf("'" + kCli + "' batch '" + Manifest(side.path, models, json) +
                                   "' --jobs 1 --summary '" + summary.string() + "'");
    const nlohmann::json results = nlohmann::json::parse(std::ifstream(summary), nullptr, false);
    if (batch < 0.0 || results.is_discarded()) {
      state.SkipWithError("the batch failed");
      return;
    }
    double runs = 0.0;
    for (const nlohmann::json& asset : results["assets"]) runs += asset["seconds"].get<double>();
    own += (batch - runs) / double(models.size());
    state.SetIterationTime(batch / double(models.size()));
  }
  state.counters["batch_own_ms_per_asset"] = 1000.0 * own / double(state.iterations());
}
BENCHMARK(BM_BatchCostPerAsset)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
