#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/cli/json_output.h"

namespace PatinexCli {

// What became of one asset of a batch, as the summary lists it.
struct AssetResult {
  std::string model;   // as the manifest names it
  std::string status;  // "done", "failed", "skipped" (finished by an earlier batch), "missing" (no result)
  double seconds = 0.0;
  std::string exportPath;  // absolute; only when the export is there
  std::optional<std::string> message;  // why it failed or is missing

  bool Succeeded() const { return status == "done" || status == "skipped"; }
};

// The file beside an asset's masks that holds its result, for --collect.
inline constexpr const char* kAssetResultName = "batch-result.json";
// The file beside an asset's masks that holds its weather run's output.
inline constexpr const char* kAssetLogName = "batch.log";

Json AssetResultJson(const AssetResult& result);

// Writes the document whole or not at all (temporary file and rename). False, with why.
bool WriteJsonFile(const std::string& path, const Json& document, std::string* error);

// The result kept in folder, if it holds a readable one; otherwise nothing, with why in error
// (empty when there simply is none).
std::optional<AssetResult> ReadAssetResult(const std::string& folder, std::string* error);

// {"assets": [...]} in the manifest's order.
Json BatchSummaryJson(const std::vector<AssetResult>& results);

// The last error line a weather run wrote in its log ("patinex-cli weather: ..." that is no
// warning or note); empty when there is none.
std::string LastErrorLine(const std::string& logPath);

}  // namespace PatinexCli
