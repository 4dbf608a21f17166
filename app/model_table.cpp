#include "app/model_table.h"

#include <cstdint>
#include <filesystem>

#include "app/mask_folder.h"
#include "framework/ui_combo_box.h"

void ModelTable::Reset(const std::string& mediaFolder) {
  entries = {{"-Pick Model-", ""},
             {"Sphere", ShippedMediaFile(mediaFolder, "sphere.obj")},
             {"Beethoven", ShippedMediaFile(mediaFolder, "beethoven.obj")},
             {"Bunny", ShippedMediaFile(mediaFolder, "bunny.obj")}};
  fixedCount = entries.size();
}

int ModelTable::Add(const std::string& path) {
  // The same file dropped again selects its entry rather than adding a twin.
  for (size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].file == path) return static_cast<int>(i);
  }
  const std::filesystem::path file(path);
  std::string label = file.filename().string();
  // Two statue.glb from different folders are told apart in the picker.
  for (const ModelEntry& entry : entries) {
    if (entry.label == label) label += " (" + file.parent_path().filename().string() + ")";
  }
  entries.push_back({label, path});
  return static_cast<int>(entries.size()) - 1;
}

void ModelTable::Fill(CUIComboBox* picker) const {
  if (picker == nullptr) return;
  picker->RemoveAllItems();
  for (size_t i = 0; i < entries.size(); ++i) {
    picker->AddItem(entries[i].label, reinterpret_cast<void*>(i == 0 ? intptr_t(0) : intptr_t(-1)));
  }
  picker->SetSelectedByIndex(loaded);
}
