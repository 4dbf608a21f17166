#include "assetexport/look_catalog.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "assetexport/look_file.h"
#include "shipped_media/shipped_files.h"
#include "simulation/run_record.h"

namespace AssetExport {
namespace {

constexpr const char* kLookExtension = ".json";

std::string ShippedLooksFolder() {
  const std::string media = ShippedMedia::FindShippedFolder();
  return media.empty() ? std::string() : (std::filesystem::path(media) / "looks").string();
}

// The look files of a folder by name; a folder that is missing holds none.
void AddLooksIn(const std::string& folder, bool shipped, std::map<std::string, LookEntry>* entries) {
  if (folder.empty()) return;
  std::error_code code;
  for (std::filesystem::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    const std::filesystem::path& path = it->path();
    if (path.extension() != kLookExtension || !it->is_regular_file(code)) continue;
    LookEntry entry;
    entry.name = path.stem().string();
    entry.file = std::filesystem::absolute(path, code).lexically_normal().string();
    entry.shipped = shipped;
    Look look;
    if (ReadLookFile(entry.file, &look, &entry.error)) entry.description = look.description;
    (*entries)[entry.name] = std::move(entry);
  }
}

}  // namespace

std::string UserLooksFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  std::string base = config != nullptr && config[0] == '/' ? config : "";
  if (base.empty() && home != nullptr && home[0] != '\0') base = std::string(home) + "/.config";
  return base.empty() ? std::string() : (std::filesystem::path(base) / "Patinex" / "looks").string();
}

std::vector<LookEntry> ListLooks() {
  std::map<std::string, LookEntry> entries;
  AddLooksIn(ShippedLooksFolder(), true, &entries);
  AddLooksIn(UserLooksFolder(), false, &entries);
  std::vector<LookEntry> list;
  for (auto& [name, entry] : entries) list.push_back(std::move(entry));
  return list;
}

bool NamesLookFile(const std::string& nameOrFile) {
  return nameOrFile.find('/') != std::string::npos || nameOrFile.ends_with(kLookExtension);
}

bool FindLook(const std::string& nameOrFile, Look* look, std::string* error) {
  if (NamesLookFile(nameOrFile)) return ReadLookFile(nameOrFile, look, error);
  for (const LookEntry& entry : ListLooks()) {
    if (entry.name == nameOrFile) return ReadLookFile(entry.file, look, error);
  }
  std::string known;
  for (const LookEntry& entry : ListLooks()) known += (known.empty() ? "" : ", ") + entry.name;
  *error = "no look is named " + nameOrFile + " (the looks are " + (known.empty() ? "none found" : known) +
           "; a look file is given by its path)";
  return false;
}

bool LookForMasks(const std::string& given, const std::string& maskFolder, Look* look, std::string* error) {
  if (!given.empty()) return FindLook(given, look, error);
  Simulation::RunRecord record;
  std::string why;
  if (Simulation::ReadRunRecord(maskFolder, &record, &why) == Simulation::RecordState::kFound && !record.look.empty()) {
    if (FindLook(record.look, look, &why)) return true;
    *error = "the run record in " + maskFolder + " names the look " + record.look + ": " + why;
    return false;
  }
  *look = BronzeLook();
  return true;
}

}  // namespace AssetExport
