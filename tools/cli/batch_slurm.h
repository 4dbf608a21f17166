#pragma once

#include <cstdint>
#include <string>

#include "tools/cli/batch_manifest.h"

namespace PatinexCli {

// How the array job is asked of Slurm; what is left empty (or 0) is Slurm's default.
struct SlurmRequest {
  int64_t limit = 0;  // tasks running at once
  int64_t cpus = 0;   // per task
  std::string time;   // the time limit of a task, in Slurm's words ("30", "1:00:00", "1-0")
  std::string partition;
};

// The batch script of an array job with one task per asset of the manifest, each running
// "PROGRAM batch MANIFEST --task $SLURM_ARRAY_TASK_ID"; the tasks' output goes beside the
// manifest. Scheduling is Slurm's: nothing of ours spans machines.
std::string SlurmScript(const BatchManifest& manifest, const SlurmRequest& request, const std::string& program);

// Whether a time or partition can go into a script line as it is; false with why.
bool CheckSlurmWord(const char* option, const std::string& value, std::string* error);

// Hands the script to sbatch; *jobId is the id it gives. False, with sbatch's own words, when
// it refuses or cannot be run.
bool SubmitSlurmScript(const std::string& script, std::string* jobId, std::string* error);

}  // namespace PatinexCli
