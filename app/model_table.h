#pragma once

#include <string>
#include <vector>

class CUIComboBox;

// One entry of the model picker: its label and the model file behind it (empty: unload only).
struct ModelEntry {
  std::string label;
  std::string file;
};

// The model picker's entries (fixed ones, then files opened lately, dropped or opened now) and
// the entry loaded (0: none).
// Window thread; changed by the application as models are picked, dropped and loaded.
class ModelTable {
public:
  // The fixed entries: "-Pick Model-" (unload only), "Sphere", "Beethoven" and "Bunny", their
  // files found in the media folder.
  void Reset(const std::string& mediaFolder);
  // Adds a model file (OBJ or glTF) as a new entry labelled with its file name, and its folder's
  // name too when another entry has that label, and returns its index (the existing entry's
  // index when the file has one already).
  int Add(const std::string& path);
  // Drops the entry added last (a dropped file that could not be loaded).
  void RemoveLast() { entries.pop_back(); }
  // Empties the picker and fills it from the table, showing the entry loaded.
  void Fill(CUIComboBox* picker) const;

  // The fixed entries come first; the ones after them are files from outside the program.
  size_t FixedCount() const { return fixedCount; }
  const std::vector<ModelEntry>& Entries() const { return entries; }
  size_t Size() const { return entries.size(); }
  const ModelEntry& operator[](size_t index) const { return entries[index]; }
  int Loaded() const { return loaded; }
  void SetLoaded(int index) { loaded = index; }

private:
  std::vector<ModelEntry> entries;
  size_t fixedCount = 0;
  int loaded = 0;
};
