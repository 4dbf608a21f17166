#include "tools/cli/batch_slurm.h"

#include <filesystem>

#include "tools/cli/batch_child.h"

namespace PatinexCli {
namespace {

// A word for the shell, in single quotes, whatever it holds.
std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string SlurmScript(const BatchManifest& manifest, const SlurmRequest& request, const std::string& program) {
  const std::filesystem::path path(manifest.path);
  const std::string folder = path.parent_path().string();
  std::string array = "0-" + std::to_string(manifest.assets.size() - 1);
  if (request.limit > 0) array += "%" + std::to_string(request.limit);
  std::string script = "#!/bin/bash\n";
  script += "#SBATCH --job-name=patinex-" + path.stem().string() + "\n";
  script += "#SBATCH --array=" + array + "\n";
  if (request.cpus > 0) script += "#SBATCH --cpus-per-task=" + std::to_string(request.cpus) + "\n";
  if (!request.time.empty()) script += "#SBATCH --time=" + request.time + "\n";
  if (!request.partition.empty()) script += "#SBATCH --partition=" + request.partition + "\n";
  // %A is the array job's id, %a the task's.
  script += "#SBATCH --output=" + folder + "/" + path.stem().string() + "-%A_%a.out\n";
  script += "#SBATCH --chdir=" + folder + "\n";
  script += "# One asset of " + manifest.path + " a task: " + std::to_string(manifest.assets.size()) + " assets.\n";
  script += "exec " + Quoted(program) + " batch " + Quoted(manifest.path) + " --task \"$SLURM_ARRAY_TASK_ID\"\n";
  return script;
}

bool CheckSlurmWord(const char* option, const std::string& value, std::string* error) {
  const bool plain = !value.empty() && value.find_first_of(" \t\r\n'\"\\$`") == std::string::npos;
  if (!plain) *error = std::string(option) + " takes one word without spaces or quotes, not '" + value + "'";
  return plain;
}

bool SubmitSlurmScript(const std::string& script, std::string* jobId, std::string* error) {
  std::string output;
  int status = 0;
  if (!RunAndCollect("sbatch", {"sbatch", "--parsable", script}, &output, &status, error)) return false;
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (status != 0) {
    *error = "sbatch refused " + script + ": " + output;
    return false;
  }
  // --parsable prints "ID" or "ID;CLUSTER", after any warnings on lines of their own.
  const size_t lineStart = output.rfind('\n');
  std::string last = lineStart == std::string::npos ? output : output.substr(lineStart + 1);
  *jobId = last.substr(0, last.find(';'));
  if (jobId->empty() || jobId->find_first_not_of("0123456789") != std::string::npos) {
    *error = "sbatch gave no job id for " + script + ": " + output;
    return false;
  }
  return true;
}

}  // namespace PatinexCli
