#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/batch_manifest.h"

namespace PatinexCli {

// What an asset of a batch still needs, told from what its output folder holds.
enum class AssetAction {
  kSkip,    // its export is there and its record holds every step asked for, in the look asked for
  kResume,  // its session holds some of the steps: the rest are run on from it
  kExport,  // every step is saved but the export is not there (stopped while exporting) or of
            // another look than the manifest's now: export only
  kRun,     // nothing usable: a run of every step (weather moves an earlier history aside)
};

struct AssetPlan {
  AssetAction action = AssetAction::kRun;
  int64_t steps = 0;  // the steps to run
};

AssetPlan PlanAsset(const BatchAsset& asset);

// The asset's run record names the manifest's look (none: bronze) from now on, so that a run
// continued from it and an export of it bake that look, and the next batch finds it done. True
// when there is no record yet (its first run writes the look); false, with why, when the record
// cannot be read or written.
bool RecordAssetLook(const BatchAsset& asset, std::string* error);

// The arguments (after the program's name) of the run that carries out the plan: weather, or
// export for kExport; threads is used when the asset sets none.
std::vector<std::string> WeatherArguments(const BatchAsset& asset, const AssetPlan& plan, int64_t threads);

}  // namespace PatinexCli
