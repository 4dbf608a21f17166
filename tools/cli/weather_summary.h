#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assetexport/aged_export.h"
#include "platform_os/interrupt_catcher.h"
#include "renderlib/triangle_soup.h"
#include "simulation/simulation_params.h"
#include "tools/cli/weather_options.h"

namespace PatinexCli {

// What the weather command prints at its end, whichever way it ends.
struct WeatherOutcome {
  const WeatherOptions* options = nullptr;
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

// The names of the materials in each mask space (a material without a name is "").
std::vector<std::vector<std::string>> SpaceMaterials(const RenderLib::TriangleSoup& soup);

// The summary on stdout, whichever way the command ends once its options are read: what is not
// known (yet) is null, and a failure is said in "error".
void PrintSummary(const WeatherOutcome& outcome);

// The end of a run cut short by a signal: the summary, what was kept, 128 + the signal.
int Interrupted(WeatherOutcome& outcome, const Platform::InterruptCatcher& interrupts);

// A failure once the options are read: said on stderr, and the summary with it in "error".
int Fail(WeatherOutcome& outcome, const std::string& reason);

}  // namespace PatinexCli
