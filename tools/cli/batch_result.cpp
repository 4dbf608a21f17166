#include "tools/cli/batch_result.h"

#include <filesystem>
#include <fstream>

#include "platform_os/file_system.h"
#include "platform_os/temporary_file.h"

namespace PatinexCli {

Json AssetResultJson(const AssetResult& result) {
  return Json{
      {"model", result.model},
      {"status", result.status},
      {"seconds", JsonNumber(result.seconds)},
      {"export", result.exportPath.empty() ? Json(nullptr) : Json(result.exportPath)},
      {"message", result.message ? Json(*result.message) : Json(nullptr)},
  };
}

bool WriteJsonFile(const std::string& path, const Json& document, std::string* error) {
  Platform::TemporaryFile file(path);
  if (!file.Create(error)) return false;
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  if (std::fwrite(text.data(), 1, text.size(), file.File()) != text.size()) {
    *error = "cannot write " + path;
    return false;
  }
  return file.Publish(error);
}

std::optional<AssetResult> ReadAssetResult(const std::string& folder, std::string* error) {
  error->clear();
  const std::string path = (std::filesystem::path(folder) / kAssetResultName).string();
  std::error_code missing;
  if (!std::filesystem::exists(path, missing)) return std::nullopt;
  std::vector<uint8_t> bytes;
  if (!Platform::ReadRegularFile(path, bytes, 1 << 20, error)) return std::nullopt;
  const Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
  const bool shaped = document.is_object() && document.contains("status") && document["status"].is_string() &&
                      document.contains("model") && document["model"].is_string();
  if (!shaped) {
    *error = path + " is not a batch result";
    return std::nullopt;
  }
  AssetResult result;
  result.model = document["model"];
  result.status = document["status"];
  if (document.contains("seconds") && document["seconds"].is_number()) result.seconds = document["seconds"];
  if (document.contains("export") && document["export"].is_string()) result.exportPath = document["export"];
  if (document.contains("message") && document["message"].is_string()) {
    result.message = document["message"].get<std::string>();
  }
  return result;
}

Json BatchSummaryJson(const std::vector<AssetResult>& results) {
  Json assets = Json::array();
  for (const AssetResult& result : results) assets.push_back(AssetResultJson(result));
  return Json{{"assets", assets}};
}

std::string LastErrorLine(const std::string& logPath) {
  std::ifstream log(logPath);
  std::string line;
  std::string last;
  while (std::getline(log, line)) {
    if (line.rfind("patinex-cli", 0) != 0) continue;
    if (line.find(": warning: ") != std::string::npos || line.find(": note: ") != std::string::npos) continue;
    last = line;
  }
  return last;
}

}  // namespace PatinexCli
