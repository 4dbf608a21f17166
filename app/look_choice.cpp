#include "app/look_choice.h"

#include <algorithm>
#include <cstdio>

#include "app/control_ids.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"

void LookChoice::ListCatalog() {
  entries.clear();
  for (AssetExport::LookEntry& entry : AssetExport::ListLooks()) {
    if (!entry.error.empty()) {
      // Said once a file and reason, not at every look through the folders.
      if (leftOutSaid.insert(entry.file + ": " + entry.error).second) {
        std::fprintf(stderr, "patinex: the look %s is left out: %s\n", entry.file.c_str(), entry.error.c_str());
      }
      continue;
    }
    entries.push_back(std::move(entry));
  }
  if (StopOf("bronze") < 0) {
    // Without its file bronze is still the look the rules are built around.
    AssetExport::LookEntry entry;
    entry.name = "bronze";
    entries.insert(entries.begin(), entry);
  }
}

void LookChoice::Fill(Dialog& panel) {
  ListCatalog();
  Select(panel, StopOf("bronze"));
}

void LookChoice::Select(Dialog& panel, int chosen) {
  stop = chosen;
  if (CUISlider* slider = panel.GetSlider(ID_LOOK)) {
    slider->SetRange(0, std::max(int(entries.size()) - 1, 0));
    slider->SetValue(stop);
  }
  if (CUIStatic* label = panel.GetStatic(ID_LOOK_LABEL)) label->SetText(current.name);
}

int LookChoice::StopOf(const std::string& nameOrFile) const {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == nameOrFile || (!entries[i].file.empty() && entries[i].file == nameOrFile)) return int(i);
  }
  return -1;
}

bool LookChoice::ReadEntry(size_t index, AssetExport::Look* look, std::string* why) const {
  const AssetExport::LookEntry& entry = entries[index];
  if (entry.file.empty()) {
    *look = AssetExport::BronzeLook();
    return true;
  }
  return AssetExport::FindLook(entry.file, look, why);
}

bool LookChoice::ChooseStop(Dialog& panel, std::string* why) {
  const CUISlider* slider = panel.GetSlider(ID_LOOK);
  const int wanted = slider != nullptr ? slider->GetValue() : stop;
  if (wanted == stop || wanted < 0 || size_t(wanted) >= entries.size()) return true;
  AssetExport::Look look;
  if (!ReadEntry(size_t(wanted), &look, why)) {
    Select(panel, stop);
    return false;
  }
  current = std::move(look);
  // Catalog looks are kept by name, so a look file edited since is read anew by an export.
  recorded = entries[size_t(wanted)].name;
  Select(panel, wanted);
  return true;
}

bool LookChoice::Show(Dialog& panel, const std::string& nameOrFile, std::string* why) {
  const std::string wanted = nameOrFile.empty() ? "bronze" : nameOrFile;
  if (const int found = StopOf(wanted); found >= 0) {
    if (CUISlider* slider = panel.GetSlider(ID_LOOK)) slider->SetValue(found);
    return ChooseStop(panel, why);
  }
  AssetExport::Look look;
  if (!AssetExport::FindLook(wanted, &look, why)) return false;
  AddOutsider(wanted);
  current = std::move(look);
  recorded = wanted;
  Select(panel, int(entries.size()) - 1);
  return true;
}

void LookChoice::AddOutsider(const std::string& file) {
  // Outside the catalog, the stop is named and recorded by its file.
  AssetExport::LookEntry entry;
  entry.name = file;
  entry.file = file;
  entries.push_back(std::move(entry));
}

LookChoice::Reread LookChoice::ReadAgain(Dialog& panel, std::string* why) {
  const AssetExport::LookEntry chosen = size_t(stop) < entries.size() ? entries[size_t(stop)] : AssetExport::LookEntry{};
  ListCatalog();
  int found = StopOf(recorded);
  if (found < 0) {
    // A file outside the catalog, or a look whose file is gone or broken since: it keeps a stop.
    entries.push_back(chosen);
    found = int(entries.size()) - 1;
  }
  AssetExport::Look look;
  if (!ReadEntry(size_t(found), &look, why)) {
    // It stays shown as it was last read.
    Select(panel, found);
    return Reread::kFailed;
  }
  const bool changed = !(look == current);
  current = std::move(look);
  Select(panel, found);
  return changed ? Reread::kChanged : Reread::kSame;
}
