#include "app/look_choice.h"

#include <algorithm>
#include <cstdio>

#include "app/control_ids.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"

void LookChoice::Fill(Dialog& panel) {
  entries.clear();
  for (AssetExport::LookEntry& entry : AssetExport::ListLooks()) {
    if (!entry.error.empty()) {
      std::fprintf(stderr, "patinex: the look %s is left out: %s\n", entry.file.c_str(), entry.error.c_str());
      continue;
    }
    entries.push_back(std::move(entry));
  }
  int bronze = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == "bronze") bronze = int(i);
  }
  if (bronze < 0) {
    // Without its file bronze is still the look the rules are built around.
    AssetExport::LookEntry entry;
    entry.name = "bronze";
    entries.insert(entries.begin(), entry);
    bronze = 0;
  }
  Select(panel, bronze);
}

void LookChoice::Select(Dialog& panel, int chosen) {
  stop = chosen;
  if (CUISlider* slider = panel.GetSlider(ID_LOOK)) {
    slider->SetRange(0, std::max(int(entries.size()) - 1, 0));
    slider->SetValue(stop);
  }
  if (CUIStatic* label = panel.GetStatic(ID_LOOK_LABEL)) label->SetText(current.name);
}

bool LookChoice::ChooseStop(Dialog& panel, std::string* why) {
  const CUISlider* slider = panel.GetSlider(ID_LOOK);
  const int wanted = slider != nullptr ? slider->GetValue() : stop;
  if (wanted == stop || wanted < 0 || size_t(wanted) >= entries.size()) return true;
  const AssetExport::LookEntry& entry = entries[size_t(wanted)];
  AssetExport::Look look;
  if (entry.file.empty()) {
    look = AssetExport::BronzeLook();
  } else if (!AssetExport::FindLook(entry.file, &look, why)) {
    Select(panel, stop);
    return false;
  }
  current = std::move(look);
  // Catalog looks are kept by name, so a look file edited since is read anew by an export.
  recorded = entry.name;
  Select(panel, wanted);
  return true;
}

int LookChoice::StopOf(const std::string& nameOrFile) const {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == nameOrFile || (!entries[i].file.empty() && entries[i].file == nameOrFile)) return int(i);
  }
  return -1;
}

bool LookChoice::Show(Dialog& panel, const std::string& nameOrFile, std::string* why) {
  const std::string wanted = nameOrFile.empty() ? "bronze" : nameOrFile;
  if (const int found = StopOf(wanted); found >= 0) {
    if (CUISlider* slider = panel.GetSlider(ID_LOOK)) slider->SetValue(found);
    return ChooseStop(panel, why);
  }
  AssetExport::Look look;
  if (!AssetExport::FindLook(wanted, &look, why)) return false;
  // Outside the catalog, the stop is named and recorded by its file.
  AssetExport::LookEntry entry;
  entry.name = wanted;
  entry.file = wanted;
  entries.push_back(std::move(entry));
  current = std::move(look);
  recorded = wanted;
  Select(panel, int(entries.size()) - 1);
  return true;
}
