#pragma once

#include <vector>

// The full-screen modes the display offers, for the device settings dialog.
namespace Platform {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int refreshRate = 0;  // Hz, 0 when unknown
};

// The modes of the first display, each size once (its highest refresh rate), largest first.
// Empty when the video subsystem is not running or reports none.
std::vector<DisplayMode> DisplayModes();

}  // namespace Platform
