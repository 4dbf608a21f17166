#pragma once

#include <string>

#include "tools/mesh_preview/preview_options.h"

// Opens a hidden window and device, draws the model as options ask into an offscreen target and
// writes it as a PNG. False with error saying what failed.
bool RenderPreview(const PreviewOptions& options, std::string* error);
