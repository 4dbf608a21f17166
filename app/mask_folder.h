#pragma once

#include <string>

// Where the program's files live. The shipped media are found through the media search by a file
// the program ships (never by a bare folder name); masks are written and read in one folder.

// The folder holding the shipped media (effects, textures, models), found by its drawmesh.fx;
// empty when the search finds none.
std::string FindShippedMediaFolder();

// The shipped file name inside mediaFolder, or empty when there is no media folder.
std::string ShippedMediaFile(const std::string& mediaFolder, const std::string& name);

// The mask folder: the media folder when it is writable (a build or a checkout), else
// $XDG_DATA_HOME/Patinex/masks (~/.local/share when unset), created when needed. Empty when no
// folder can be written, with the reason in problem.
std::string ChooseMaskFolder(const std::string& mediaFolder, std::string* problem = nullptr);
