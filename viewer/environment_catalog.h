#pragma once

#include <string>
#include <vector>

namespace Viewer {

// An environment that ships with the programs: the name a picker shows and its file, relative
// to the media folder.
struct ShippedEnvironment {
  std::string displayName;
  std::string file;
};

// Studio, Overcast and Low sun, in that order; the first is the one to start with.
const std::vector<ShippedEnvironment>& ShippedEnvironments();

// The file of the shipped environment whose display name or file stem (studio, overcast,
// low_sun) is name, ignoring case; empty when none is.
std::string ShippedEnvironmentFile(const std::string& name);

}  // namespace Viewer
