#pragma once

#include <string>
#include <vector>

#include "assetexport/look.h"

namespace AssetExport {

// A look a user can choose by name: the shipped ones (media/looks/NAME.json, found by the media
// search) and the user's own ($XDG_CONFIG_HOME/Patinex/looks/NAME.json, ~/.config when unset),
// which hide a shipped look of the same name.
struct LookEntry {
  std::string name;
  std::string file;
  std::string description;
  bool shipped = false;
  std::string error;  // why the file is not a valid look; empty when it is
};

// The user's looks folder, empty when neither XDG_CONFIG_HOME nor HOME says where it is.
std::string UserLooksFolder();

// Every look file of both folders, by name.
std::vector<LookEntry> ListLooks();

// Whether a look is given by its file (anything with a '/' or ending in .json) rather than by name.
bool NamesLookFile(const std::string& nameOrFile);

// A look by name (as ListLooks names them) or by the path of a look file (NamesLookFile). False, with what was looked for and why it failed, when none is found or the
// file is not a valid look.
bool FindLook(const std::string& nameOrFile, Look* look, std::string* error);

// The look an export of a mask folder bakes: the one given (name or file), else the one the
// folder's run record names, else the shipped bronze. False, with why, as FindLook.
bool LookForMasks(const std::string& given, const std::string& maskFolder, Look* look, std::string* error);

}  // namespace AssetExport
