#pragma once

#include <cstdint>
#include <string>

#include "assetexport/texture_bake.h"
#include "platform_os/ranged_number.h"
#include "renderlib/vector3.h"
#include "simulation/emission_source.h"
#include "simulation/mask_files.h"
#include "simulation/random_unit.h"
#include "simulation/simulation_params.h"
#include "tools/cli/command_registry.h"
#include "tools/cli/weather_progress.h"

namespace PatinexCli {

// The ranges of the numbers the weather command takes, shared by its parser and its help. The
// masks' range is the export's, since --export bakes its textures at --size when it is given.
constexpr Platform::WholeRange kDensityRange{Simulation::kMinDensity, Simulation::kMaxDensity};
constexpr Platform::WholeRange kStepsRange{Simulation::kMinSteps, Simulation::kMaxSteps};
constexpr Platform::WholeRange kTonsRange{Simulation::kMinTonsPerStep, Simulation::kMaxTonsPerStep};
constexpr Platform::WholeRange kThreadsRange{1, 1024};
constexpr Platform::WholeRange kSeedRange{0, UINT32_MAX};
constexpr Platform::WholeRange kSizeRange{AssetExport::kMinBakeSize, AssetExport::kMaxBakeSize};

// The weather command's options as its command line gives them.
struct WeatherOptions {
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

// Parses the command line, its usage errors naming command; returns a usage status on error
// and -1 when the options are good.
int ParseWeatherOptions(const Command& command, const Arguments& arguments, WeatherOptions& options);

}  // namespace PatinexCli
