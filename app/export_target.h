#pragma once

#include <string>
#include <vector>

// The file the window's Export writes, from the Export panel's name and folder boxes.
struct ExportTarget {
  std::string name;     // as typed, with .glb added when it had no extension
  std::string path;     // folder/name, a leading ~ in the folder standing for home
  std::string problem;  // set instead of path when nothing can be written: what to change
};

// A name is a file name ending in .glb or .gltf (none: .glb); a folder is an existing folder given
// from / or ~. Spaces around either are dropped.
ExportTarget ResolveExportTarget(const std::string& name, const std::string& folder, const std::string& home);

// The files an export to path writes that exist already: the file itself and, for a .gltf, the
// buffer and images the writer puts beside it.
std::vector<std::string> ExistingExportFiles(const std::string& path);

// <model file's name without extension>_aged, ending as the current name does when that is
// .gltf (a user who chose the text form keeps it), else .glb.
std::string SuggestedExportName(const std::string& modelPath, const std::string& currentName);
