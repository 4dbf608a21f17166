#pragma once

#include <string_view>

// The effect the dialogs draw with, kept in the program so the GUI works without any media
// folder. Techniques: "RenderUI" (texture × vertex colour), "RenderUIUntex" (vertex colour),
// both alpha-blended without depth; "RestoreState" (depth on, blending off). Texture variable
// "g_Texture". Vertex positions arrive in clip space.
extern const std::string_view kUIEffectSource;
extern const char* const kUIEffectName;
