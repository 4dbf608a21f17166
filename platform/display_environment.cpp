#include "platform/display_environment.h"

#include <SDL.h>

namespace Platform {

namespace {

const char* ValueOf(const char* variable) {
  const char* value = SDL_getenv(variable);
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

}  // namespace

std::vector<NamedDisplay> NamedDisplays() {
  std::vector<NamedDisplay> displays;
  if (const char* x11 = ValueOf("DISPLAY")) displays.push_back({"x11", std::string("DISPLAY=") + x11});
  if (const char* wayland = ValueOf("WAYLAND_DISPLAY"))
    displays.push_back({"wayland", std::string("WAYLAND_DISPLAY=") + wayland});
  return displays;
}

bool VideoDriverChosen() { return ValueOf("SDL_VIDEODRIVER") != nullptr; }

}  // namespace Platform
