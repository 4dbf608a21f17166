#include "tools/cli/weather_options.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "assetexport/look_catalog.h"
#include "tools/cli/source_option.h"

namespace PatinexCli {
namespace {

// A number option, the field it sets and the range it is clamped to.
struct NumberOption {
  const char* name;
  int64_t WeatherOptions::*field;
  Platform::WholeRange range;
};

const NumberOption kNumberOptions[] = {
    {"--density", &WeatherOptions::density, kDensityRange}, {"--steps", &WeatherOptions::steps, kStepsRange},
    {"--tons", &WeatherOptions::tons, kTonsRange},          {"--threads", &WeatherOptions::threads, kThreadsRange},
    {"--seed", &WeatherOptions::seed, kSeedRange},          {"--size", &WeatherOptions::size, kSizeRange},
};

}  // namespace

int ParseWeatherOptions(const Command& command, const Arguments& arguments, WeatherOptions& options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const NumberOption* number = nullptr;
    for (const NumberOption& candidate : kNumberOptions) {
      if (argument == candidate.name) number = &candidate;
    }
    if (number != nullptr || argument == "--out" || argument == "--format" || argument == "--export" ||
        argument == "--progress" || argument == "--look" || argument == "--from" || argument == "--spread") {
      if (i + 1 == arguments.size()) return UsageError(command, argument + " needs a value");
      const std::string& value = arguments[++i];
      if (argument == "--from" || argument == "--spread") {
        std::string error;
        if (argument == "--from" ? !ParseDirectionText(value, &options.from, &error)
                                 : !ParseSpreadText(value, &options.spread, &error)) {
          return UsageError(command, argument + ": " + error);
        }
        (argument == "--from" ? options.fromGiven : options.spreadGiven) = true;
        continue;
      }
      if (argument == "--format") {
        if (value != "jpg" && value != "png") {
          return UsageError(command, "--format is jpg or png, not '" + value + "'");
        }
        options.format = value == "png" ? Simulation::kMaskPng : Simulation::kMaskJpeg;
        options.formatGiven = true;
        continue;
      }
      if (argument == "--progress") {
        if (value != "text" && value != "json") {
          return UsageError(command, "--progress is text or json, not '" + value + "'");
        }
        // --quiet wins whichever comes first: a pipeline may add it to a line that asks for json.
        if (options.progress != ProgressStyle::kQuiet) {
          options.progress = value == "json" ? ProgressStyle::kJson : ProgressStyle::kText;
        }
        continue;
      }
      if (argument == "--look") {
        if (value.empty()) return UsageError(command, "--look needs a look's name or file");
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
          return UsageError(command, "--export takes a .glb or .gltf file name, not '" + value + "'");
        }
        options.exportPath = value;
        continue;
      }
      if (number == nullptr) {
        if (value.empty()) return UsageError(command, "--out needs a folder");
        options.out = value;
        continue;
      }
      std::string note;
      std::string error;
      if (!Platform::ReadWholeOption(argument, value, number->range, &(options.*(number->field)), &note, &error)) {
        return UsageError(command, error);
      }
      if (!note.empty()) std::fprintf(stderr, "patinex-cli weather: %s\n", note.c_str());
      if (number->field == &WeatherOptions::size) options.sizeGiven = true;
      if (number->field == &WeatherOptions::density) options.densityGiven = true;
      if (number->field == &WeatherOptions::tons) options.tonsGiven = true;
      if (number->field == &WeatherOptions::seed) options.seedGiven = true;
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
      return UsageError(command, "unknown option " + argument);
    } else if (!options.model.empty()) {
      return UsageError(command, "one model at a time");
    } else {
      options.model = argument;
    }
  }
  if (options.model.empty()) return UsageError(command, "no model given");
  if (std::string error; !Simulation::MakeEmissionSource(options.from, options.spread, &options.source, &error)) {
    return UsageError(command, "--from/--spread: " + error);
  }
  return -1;
}

}  // namespace PatinexCli
