#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli/binary_file.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/output_path.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/position_limits.h"

namespace PatinexCli {
namespace {

int RunRays(const Arguments& arguments);

const Command kRaysCommand = {
    "rays",
    "rays MODEL IN.bin OUT.bin",
    "Loads the model MODEL (OBJ or glTF), builds its kd-tree (depth 24, leaves of 16 triangles)\n"
    "and casts every segment of IN.bin through it, as the simulation casts its rays. IN.bin holds\n"
    "records of six float32 (origin x, y, z, end x, y, z); OUT.bin gets one record per segment:\n"
    "int32 triangle (-1 for none; triangle t uses the soup's indices 3t..3t+2), float32 distance from\n"
    "the origin, float32 u and v (the barycentric weights of the triangle's second and third\n"
    "vertex). All values little-endian; OUT.bin's folder is made if missing. Prints {\"schema\",\n"
    "\"command\", \"model\", \"triangles\", \"segments\", \"hits\", \"seconds\": {\"build\", \"query\"},\n"
    "\"segmentsPerSecond\", \"files\"} as JSON (files: OUT.bin, absolute).\n"
    "Coordinates must be finite and within 1e15 of the origin.",
    RunRays,
};

const CommandRegistration kRegistration(kRaysCommand);

int Fail(const std::string& reason) { return CommandFailure("rays", reason); }

int RunRays(const Arguments& arguments) {
  if (arguments.size() != 3) return UsageError(kRaysCommand, "expected MODEL, IN.bin and OUT.bin");
  std::string error;
  std::vector<uint8_t> input;
  if (!ReadWholeFile(arguments[1], input, error)) return Fail(error);
  if (input.size() % 24 != 0) {
    return Fail(arguments[1] + " holds " + std::to_string(input.size()) +
                " bytes, which is not a whole number of 24-byte segments");
  }
  std::vector<RenderLib::Vector3> ends(input.size() / 12);
  for (size_t i = 0; i < ends.size(); ++i) {
    for (int axis = 0; axis < 3; ++axis) ends[i][axis] = FloatAt(input, 12 * i + 4 * axis);
  }
  if (!CheckPositions("the segment ends in " + arguments[1], ends.data(), ends.size(), sizeof(RenderLib::Vector3),
                      error)) {
    return Fail(error);
  }
  LoadedModel loaded;
  if (!LoadModelForTracing(arguments[0], loaded, error)) return Fail(error);

  WordFileWriter out(arguments[2]);
  if (!MakeParentFolder(arguments[2], &error) || !out.Open(error)) return Fail(error);
  const size_t count = input.size() / 24;
  size_t hits = 0;
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < count; ++i) {
    RenderLib::KdRay ray;
    ray.origin = ends[2 * i];
    ray.end = ends[2 * i + 1];
    RenderLib::KdHit hit;
    if (loaded.tree->Intersect(ray, *loaded.soup, hit)) {
      ++hits;
      out.Int(hit.triangle);
      out.Float(hit.distance);
      out.Float(hit.u);
      out.Float(hit.v);
    } else {
      out.Int(-1);
      out.Float(0.0f);
      out.Float(0.0f);
      out.Float(0.0f);
    }
  }
  const double querySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!out.Commit(error)) return Fail(error);

  Json document = JsonDocument("rays");
  document["model"] = arguments[0];
  document["triangles"] = loaded.soup->GetIndexCount() / 3;
  document["segments"] = count;
  document["hits"] = hits;
  document["seconds"] = Json{{"build", JsonNumber(loaded.buildSeconds)}, {"query", JsonNumber(querySeconds)}};
  document["segmentsPerSecond"] = JsonNumber(querySeconds > 0 ? static_cast<double>(count) / querySeconds : 0.0);
  document["files"] = Json::array({AbsolutePath(arguments[2])});
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
