#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform_os/interrupt_catcher.h"
#include "tools/cli/batch_manifest.h"
#include "tools/cli/batch_result.h"

namespace PatinexCli {

struct BatchRunSettings {
  std::string program;  // what each asset's weather run runs: this very program
  int64_t jobs = 1;     // runs at a time
  int64_t threads = 1;  // tracing workers of an asset that sets none
};

// Brings the assets of the manifest at the given indices up to date, jobs at a time: each one
// finished already is skipped, one half done is resumed, the others run from the start, each
// as a child process whose output goes to batch.log in its output folder. A failure fails its
// asset only. Each result is kept in the asset's folder as batch-result.json (a skipped one's
// only when the folder holds none that says it is finished, so that nothing is rewritten) and
// returned in the order of indices. Progress across the assets goes to progress.
//
// A signal the catcher takes stops every run (each gets that one signal, and stops as weather
// does: whole masks only) and starts no more; the assets not started are "missing".
std::vector<AssetResult> RunBatch(const BatchManifest& manifest, const std::vector<size_t>& indices,
                                  const BatchRunSettings& settings, const Platform::InterruptCatcher& interrupts,
                                  std::FILE* progress);

}  // namespace PatinexCli
