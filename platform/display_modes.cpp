#include "platform/display_modes.h"

#include <SDL.h>

#include <algorithm>

namespace Platform {

std::vector<DisplayMode> DisplayModes() {
  std::vector<DisplayMode> modes;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    auto same = std::find_if(modes.begin(), modes.end(),
                             [&](const DisplayMode& m) { return m.width == mode.w && m.height == mode.h; });
    if (same == modes.end()) modes.push_back(DisplayMode{mode.w, mode.h, mode.refresh_rate});
    else same->refreshRate = std::max(same->refreshRate, mode.refresh_rate);
  }
  std::sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return a.width != b.width ? a.width > b.width : a.height > b.height;
  });
  return modes;
}

}  // namespace Platform
