#pragma once

#include <string>

#include "assetexport/look.h"

namespace AssetExport {

// Reads a look from its JSON text (see docs/looks.md). Texture names are resolved against folder
// when a file of that name is there (otherwise kept for the media search). False, with the key
// and the reason in error, when the text is not a valid look.
bool ParseLook(const std::string& text, const std::string& folder, Look* look, std::string* error);

// The same from a file; its folder resolves the textures, and error names the file.
bool ReadLookFile(const std::string& path, Look* look, std::string* error);

}  // namespace AssetExport
