#pragma once

#include <string>

#include "simulation/splat_image.h"

namespace ShippedMedia {

// The splat the masks are baked with: media/SPLAT.png where the media search finds one, else the
// copy built into the program. False, with the reason in error and the image empty, when the
// file found cannot be read.
bool LoadSplat(Simulation::SplatImage& splat, std::string* error);

}  // namespace ShippedMedia
