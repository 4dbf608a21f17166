#include "simulation/run_record.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform_os/temporary_file.h"
#include "simulation/mask_files.h"

namespace Simulation {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kRecordVersion = 1;

// One step of a 64-bit multiplicative hash over 64-bit words.
uint64_t Mix(uint64_t hash, uint64_t word) {
  hash ^= word + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  hash *= 0xBF58476D1CE4E5B9ull;
  return hash ^ (hash >> 31);
}

uint64_t Bits(float a, float b) {
  uint32_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return (uint64_t(x) << 32) | y;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string FormatName(int32_t format) { return format == kMaskPng ? "png" : "jpg"; }

std::string SizeText(uint32_t width, uint32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

bool IsMaskFile(const fs::directory_entry& entry) {
  std::error_code kind;
  return ParseMaskFileName(entry.path().filename().string(), nullptr, nullptr) && entry.is_regular_file(kind);
}

// "2026-12-10T07-36-34Z": the time in a file name, without the colons some systems refuse.
std::string UtcStamp() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "unknown-time";
  if (const std::tm* utc = std::gmtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%SZ", utc);
  return text;
}

}  // namespace

std::string HistoryIdentity::Difference(const HistoryIdentity& other) const {
  if (modelChecksum != other.modelChecksum) {
    return "masks of another model (" + (other.modelName.empty() ? std::string("unnamed") : other.modelName) +
           ", geometry checksum " + Hex(other.modelChecksum) + ", not " + Hex(modelChecksum) + ")";
  }
  if (maskWidth != other.maskWidth || maskHeight != other.maskHeight) {
    return "masks of " + SizeText(other.maskWidth, other.maskHeight) + ", not " + SizeText(maskWidth, maskHeight);
  }
  if (maskFormat != other.maskFormat) return FormatName(other.maskFormat) + " masks, not " + FormatName(maskFormat);
  if (density != other.density) {
    return "masks of density " + std::to_string(other.density) + ", not " + std::to_string(density);
  }
  if (maskSpaces != other.maskSpaces) {
    return "masks in " + std::to_string(other.maskSpaces) + " mask space" + (other.maskSpaces == 1 ? "" : "s") +
           ", not " + std::to_string(maskSpaces);
  }
  return {};
}

bool RunRecord::HoldsStep(int32_t step) const {
  return std::any_of(steps.begin(), steps.end(), [step](const RecordedStep& s) { return s.step == step; });
}

uint64_t ModelChecksum(const RenderLib::TriangleSoup& soup) {
  uint64_t hash = Mix(uint64_t(soup.GetVertexCount()), uint64_t(soup.GetIndexCount()));
  const RenderLib::VertexNormalUV* vertices = soup.GetVertices();
  for (int32_t i = 0; i < soup.GetVertexCount(); ++i) {
    const RenderLib::VertexNormalUV& v = vertices[i];
    hash = Mix(hash, Bits(v.position.x, v.position.y));
    hash = Mix(hash, Bits(v.position.z, v.u));
    hash = Mix(hash, Bits(v.v, 0.0f));
  }
  const int32_t* indices = soup.GetIndices();
  for (int32_t i = 0; i < soup.GetIndexCount(); ++i) hash = Mix(hash, uint64_t(uint32_t(indices[i])));
  return hash;
}

std::string RunRecordText(const RunRecord& record) {
  const HistoryIdentity& id = record.identity;
  Json steps = Json::array();
  for (const RecordedStep& step : record.steps) {
    steps.push_back({{"step", step.step},
                     {"tons", step.tons},
                     {"seed", step.seed ? Json(*step.seed) : Json(nullptr)},
                     {"deterministic", step.deterministic},
                     {"from", {step.source.towards.x, step.source.towards.y, step.source.towards.z}},
                     {"spread", step.source.spreadDegrees}});
  }
  Json document = {{"patinexRun", kRecordVersion},
                         {"model", id.modelName},
                         {"modelChecksum", Hex(id.modelChecksum)},
                         {"maskWidth", id.maskWidth},
                         {"maskHeight", id.maskHeight},
                         {"maskFormat", FormatName(id.maskFormat)},
                         {"density", id.density},
                         {"maskSpaces", id.maskSpaces},
                         {"maskSpaceMaterials", record.spaceMaterials},
                         {"steps", steps}};
  if (!record.look.empty()) document["look"] = record.look;
  return document.dump(2) + "\n";
}

bool ParseRunRecord(const std::string& text, RunRecord* record, std::string* error) {
  const Json document = Json::parse(text, nullptr, false);
  try {
    if (!document.is_object() || document.value("patinexRun", 0) != kRecordVersion) {
      *error = "it is not a Patinex run record";
      return false;
    }
    HistoryIdentity& id = record->identity;
    id.modelName = document.at("model").get<std::string>();
    id.modelChecksum = std::stoull(document.at("modelChecksum").get<std::string>(), nullptr, 16);
    id.maskWidth = document.at("maskWidth").get<uint32_t>();
    id.maskHeight = document.at("maskHeight").get<uint32_t>();
    id.maskFormat = document.at("maskFormat").get<std::string>() == "png" ? kMaskPng : kMaskJpeg;
    id.density = document.at("density").get<int32_t>();
    // Records written before masks had spaces have one.
    id.maskSpaces = document.value("maskSpaces", 1);
    record->spaceMaterials = document.value("maskSpaceMaterials", std::vector<std::vector<std::string>>{});
    record->look = document.value("look", std::string());
    record->steps.clear();
    for (const Json& entry : document.at("steps")) {
      RecordedStep step;
      step.step = entry.at("step").get<int32_t>();
      step.tons = entry.at("tons").get<int32_t>();
      if (!entry.at("seed").is_null()) step.seed = entry.at("seed").get<uint32_t>();
      // Records written before reproducible runs existed hold none.
      step.deterministic = entry.value("deterministic", false);
      // Nor where the weather came from: above, as all weather did then.
      if (entry.contains("from")) {
        const std::vector<float> from = entry.at("from").get<std::vector<float>>();
        std::string why;
        if (from.size() != 3 || !MakeEmissionSource({from[0], from[1], from[2]}, entry.at("spread").get<float>(),
                                                    &step.source, &why)) {
          throw std::runtime_error("step " + std::to_string(step.step) + " has an impossible source: " + why);
        }
      }
      record->steps.push_back(step);
    }
  } catch (const std::exception& exception) {
    *error = std::string("it is not a whole Patinex run record: ") + exception.what();
    return false;
  }
  return true;
}

RecordState ReadRunRecord(const std::string& folder, RunRecord* record, std::string* error) {
  const fs::path path = fs::path(folder) / kRunRecordName;
  std::error_code code;
  if (!fs::exists(fs::symlink_status(path, code))) return RecordState::kNone;
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  if (!file) {
    *error = path.string() + " cannot be read";
    return RecordState::kUnreadable;
  }
  std::string why;
  if (!ParseRunRecord(text.str(), record, &why)) {
    *error = path.string() + ": " + why;
    return RecordState::kUnreadable;
  }
  return RecordState::kFound;
}

std::string HistoryDifference(const std::string& folder, const HistoryIdentity& mine) {
  RunRecord record;
  std::string error;
  switch (ReadRunRecord(folder, &record, &error)) {
    case RecordState::kNone: return std::string("it has no run record (") + kRunRecordName + ")";
    case RecordState::kUnreadable: return error;
    case RecordState::kFound: break;
  }
  return mine.Difference(record.identity);
}

bool WriteRunRecord(const std::string& folder, const RunRecord& record, std::string* error) {
  const std::string path = (fs::path(folder) / kRunRecordName).string();
  const std::string text = RunRecordText(record);
  Platform::TemporaryFile file(path);
  std::string why;
  if (!file.Create(&why) || std::fwrite(text.data(), 1, text.size(), file.File()) != text.size() ||
      !file.Publish(&why)) {
    *error = "cannot write " + path + ": " + (why.empty() ? std::strerror(errno) : why);
    return false;
  }
  return true;
}

bool HoldsMasks(const std::string& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (IsMaskFile(*it)) return true;
  }
  return false;
}

bool MoveHistoryAside(const std::string& folder, std::string* movedTo, std::string* error) {
  movedTo->clear();
  std::vector<fs::path> files;
  std::error_code code;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    const fs::path name = it->path().filename();
    if (IsMaskFile(*it) || name == kRunRecordName || name == kSessionName) files.push_back(it->path());
  }
  if (code) {
    *error = "cannot read " + folder + ": " + code.message();
    return false;
  }
  if (files.empty()) return true;
  // Two runs within one second get folders of their own.
  const fs::path earlier = fs::path(folder) / "earlier";
  fs::path target = earlier / UtcStamp();
  for (int n = 2; fs::exists(target, code); ++n) target = earlier / (UtcStamp() + "-" + std::to_string(n));
  fs::create_directories(target, code);
  if (code) {
    *error = "cannot make " + target.string() + ": " + code.message();
    return false;
  }
  for (const fs::path& file : files) {
    fs::rename(file, target / file.filename(), code);
    if (code) {
      *error = "cannot move " + file.string() + " into " + target.string() + ": " + code.message();
      return false;
    }
  }
  *movedTo = target.string();
  return true;
}

bool RecordLook(const std::string& folder, const std::string& look, std::string* error) {
  RunRecord record;
  const RecordState state = ReadRunRecord(folder, &record, error);
  if (state == RecordState::kNone) return true;
  if (state != RecordState::kFound) return false;
  const auto orBronze = [](const std::string& name) { return name.empty() ? std::string("bronze") : name; };
  if (orBronze(record.look) == orBronze(look)) return true;
  record.look = look;
  return WriteRunRecord(folder, record, error);
}

}  // namespace Simulation
