#pragma once

#include <string>
#include <vector>

// What the file browser shows of a folder: its subfolders, then the model files the program
// reads, each group in name order.
struct FolderEntry {
  std::string name;
  bool isFolder = false;
};

// True for a name ending in .obj, .gltf or .glb, in any case.
bool IsModelFileName(const std::string& name);

// Lists folder's subfolders (links to folders included) and model files, sorted by name without
// regard to case; hidden entries (a leading dot) and other files are left out. False, with the
// folder and the reason in why, when it cannot be read.
bool ListModelFolder(const std::string& folder, std::vector<FolderEntry>* entries, std::string* why);
