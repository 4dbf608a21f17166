#pragma once

#include <string>
#include <vector>

namespace Platform {

// A display the environment names, and the SDL video driver that opens it.
struct NamedDisplay {
  const char* driver;    // "x11" or "wayland"
  std::string variable;  // "DISPLAY=:0", for messages
};

// The displays named by DISPLAY and then WAYLAND_DISPLAY, in the order to try them; empty
// when the environment names none.
std::vector<NamedDisplay> NamedDisplays();
// Whether SDL_VIDEODRIVER names the driver to use (the tests' "offscreen", for instance).
bool VideoDriverChosen();

}  // namespace Platform
