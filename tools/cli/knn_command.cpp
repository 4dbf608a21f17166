#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform_os/ranged_number.h"
#include "simulation/sample_map.h"
#include "tools/cli/binary_file.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/output_path.h"
#include "tools/cli/position_limits.h"

namespace PatinexCli {
namespace {

int RunKnn(const Arguments& arguments);

constexpr Platform::WholeRange kNeighboursRange{1, Simulation::kMaxNeighbours};
// No two positions lie farther apart than this, as every coordinate is within kMaxCoordinate.
constexpr Platform::RealRange kRadiusRange{0.0, 4.0 * double(kMaxCoordinate)};

const std::string kKnnHelp =
    "Builds a sample map over the positions in POINTS and answers, for every position in\n"
    "QUERIES, which of them lie nearer than RADIUS (" + Platform::RangeText(kRadiusRange) + "), the K nearest at most\n"
    "(K from " + Platform::RangeText(kNeighboursRange) + "; numbers outside their range are clamped, with a note),\n"
    "the way the simulation finds the samples around a ton. POINTS and QUERIES hold a uint32\n"
    "count n followed by n x 3 float32 positions; OUT gets, per query, a uint32 count followed by\n"
    "that many float32 squared distances in ascending order. All values little-endian; OUT's\n"
    "folder is made if missing. Prints {\"schema\", \"command\", \"points\", \"queries\", \"k\",\n"
    "\"radius\", \"files\"} as JSON (files: OUT, absolute).\n"
    "Coordinates must be finite and within 1e15 of the origin.";

const Command kKnnCommand = {"knn", "knn POINTS QUERIES K RADIUS OUT", kKnnHelp.c_str(), RunKnn};

const CommandRegistration kRegistration(kKnnCommand);

// Reads "uint32 n, then n x 3 float32" into positions.
bool ReadPositions(const std::string& path, std::vector<RenderLib::Vector3>& positions, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  if (bytes.size() < 4) {
    error = path + ": too short for its point count";
    return false;
  }
  const uint64_t count = WordAt(bytes, 0);
  if (bytes.size() != 4 + count * 12) {
    error = path + ": says " + std::to_string(count) + " points, which take " + std::to_string(4 + count * 12) +
            " bytes, but the file has " + std::to_string(bytes.size());
    return false;
  }
  positions.resize(count);
  for (uint64_t i = 0; i < count; ++i) {
    for (int axis = 0; axis < 3; ++axis) positions[i][axis] = FloatAt(bytes, 4 + i * 12 + axis * 4);
  }
  return CheckPositions(path, positions.data(), positions.size(), sizeof(RenderLib::Vector3), error);
}

int RunKnn(const Arguments& arguments) {
  if (arguments.size() != 5) return UsageError(kKnnCommand, "expected five arguments");
  int64_t k = 0;
  double radius = 0;
  std::string note;
  std::string error;
  if (!Platform::ReadWholeOption("K", arguments[2], kNeighboursRange, &k, &note, &error)) {
    return UsageError(kKnnCommand, error);
  }
  if (!note.empty()) std::fprintf(stderr, "patinex-cli knn: %s\n", note.c_str());
  if (!Platform::ReadRealOption("RADIUS", arguments[3], kRadiusRange, &radius, &note, &error)) {
    return UsageError(kKnnCommand, error);
  }
  if (!note.empty()) std::fprintf(stderr, "patinex-cli knn: %s\n", note.c_str());

  std::vector<RenderLib::Vector3> points;
  std::vector<RenderLib::Vector3> queries;
  if (!ReadPositions(arguments[0], points, error) || !ReadPositions(arguments[1], queries, error)) {
    return CommandFailure("knn", error);
  }

  Simulation::SampleArray samples;
  if (!samples.Init(static_cast<uint32_t>(points.size()))) {
    return CommandFailure("knn", "out of memory for " + std::to_string(points.size()) + " points");
  }
  for (const RenderLib::Vector3& point : points) {
    Simulation::SurfaceSample sample{};
    sample.position = point;
    samples.Push(sample);
  }
  Simulation::SampleMap map(samples);

  WordFileWriter out(arguments[4]);
  if (!MakeParentFolder(arguments[4], &error) || !out.Open(error)) return CommandFailure("knn", error);
  auto list = std::make_unique<Simulation::NeighbourList>();
  std::vector<float> distances;
  for (const RenderLib::Vector3& query : queries) {
    int found = Simulation::FindNearest(map, query, static_cast<int>(k), static_cast<float>(radius), *list);
    distances.assign(list->squaredDistances + 1, list->squaredDistances + 1 + found);
    std::sort(distances.begin(), distances.end());
    out.Word(static_cast<uint32_t>(found));
    out.Floats(distances.data(), distances.size());
  }
  if (!out.Commit(error)) return CommandFailure("knn", error);
  Json document = JsonDocument("knn");
  document["points"] = points.size();
  document["queries"] = queries.size();
  document["k"] = k;
  document["radius"] = JsonNumber(radius);
  document["files"] = Json::array({AbsolutePath(arguments[4])});
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
