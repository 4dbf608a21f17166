#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <thread>

#include "platform_os/ranged_number.h"
#include "simulation/sample_map_builder.h"
#include "simulation/simulation_params.h"
#include "tools/cli/binary_file.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/json_output.h"
#include "tools/cli/output_path.h"
#include "tools/cli/loaded_model.h"
#include "tools/cli/memory_check.h"

namespace PatinexCli {
namespace {

int RunSample(const Arguments& arguments);

constexpr Platform::WholeRange kDensityRange{Simulation::kMinDensity, Simulation::kMaxDensity};

const std::string kSampleHelp =
    "Covers the model MODEL (OBJ or glTF) with surface samples as the simulation does, at\n"
    "density N (" + Platform::RangeText(kDensityRange) + ", default 100, clamped with a note: the grid spacing is the\n"
    "model's smallest box extent over N), and prints\n"
    "{\"schema\", \"command\", \"model\", \"density\", \"samples\", \"spacing\", \"seconds\", \"files\"} as JSON\n"
    "(seconds: the time the sampling took; files: FILE, absolute). With --out, also writes the\n"
    "samples in the order of the sample map: a uint32 count, then per sample its 24 32-bit words\n"
    "(bounceDamping, scatterDamping, flowDamping, humidity, dirt, rust, position, normal,\n"
    "tangent, bitangent, u, v, area, uExtent, vExtent as float32, splitAxis as uint32: its low\n"
    "two bits the axis the sample splits the map on, the bits above the mask space of its\n"
    "material, 0 unless the model's materials have texture charts that overlap), all\n"
    "little-endian.";

const Command kSampleCommand = {"sample", "sample MODEL [--density N] [--out FILE]", kSampleHelp.c_str(), RunSample};

const CommandRegistration kRegistration(kSampleCommand);

int RunSample(const Arguments& arguments) {
  std::string model;
  std::string out;
  int64_t density = 100;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--density" || argument == "--out") {
      if (i + 1 == arguments.size()) return UsageError(kSampleCommand, argument + " needs a value");
      const std::string& value = arguments[++i];
      if (argument == "--out") {
        out = value;
        continue;
      }
      std::string note;
      std::string error;
      if (!Platform::ReadWholeOption(argument, value, kDensityRange, &density, &note, &error)) {
        return UsageError(kSampleCommand, error);
      }
      if (!note.empty()) std::fprintf(stderr, "patinex-cli sample: %s\n", note.c_str());
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError(kSampleCommand, "unknown option " + argument);
    } else if (!model.empty()) {
      return UsageError(kSampleCommand, "one model at a time");
    } else {
      model = argument;
    }
  }
  if (model.empty()) return UsageError(kSampleCommand, "no model given");

  std::string error;
  LoadedModel loaded;
  if (!LoadModelForTracing(model, loaded, error)) return CommandFailure("sample", error);
  MemoryNeed need;
  need.bytes = Simulation::SampleMapBuildBytes(
      Simulation::MaxSampleCount(loaded.soup->GetBoundingBox(), static_cast<int32_t>(density)));
  need.threads = static_cast<int32_t>(std::thread::hardware_concurrency());
  need.breakdown = "the samples at density " + std::to_string(density);
  if (!FitsInMemory(need, error)) return CommandFailure("sample", error);
  const auto start = std::chrono::steady_clock::now();
  Simulation::SampleMapBuild build;
  try {
    build = Simulation::BuildSampleMap(*loaded.tree, *loaded.soup, static_cast<int32_t>(density));
  } catch (const std::bad_alloc&) {
    build.outOfMemory = true;
  }
  if (build.outOfMemory) {
    return CommandFailure("sample", "out of memory while sampling " + model + " at density " + std::to_string(density));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!out.empty()) {
    WordFileWriter writer(out);
    bool written = MakeParentFolder(out, &error) && writer.Open(error);
    if (written) {
      writer.Word(build.map->Count());
      for (uint32_t i = 0; i < build.map->Count(); ++i) {
        static_assert(sizeof(Simulation::SurfaceSample) == 24 * 4);
        const auto* words = reinterpret_cast<const uint32_t*>(&build.map->Items()[i]);
        for (int w = 0; w < 24; ++w) writer.Word(words[w]);
      }
      written = writer.Commit(error);
    }
    if (!written) return CommandFailure("sample", error);
  }

  Json document = JsonDocument("sample");
  document["model"] = model;
  document["density"] = density;
  document["samples"] = build.map->Count();
  document["spacing"] = JsonNumber(build.spacing);
  document["seconds"] = JsonNumber(seconds);
  document["files"] = out.empty() ? Json::array() : Json::array({AbsolutePath(out)});
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace
}  // namespace PatinexCli
