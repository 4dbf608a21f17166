#pragma once

#include <cstdint>
#include <vector>

#include "platform/window_state.h"

// The live windows, in the order they were created, for finding the window an SDL event names.
// Holds their states, not the windows, so that it sits below the window class.
namespace Platform {

void RegisterWindow(WindowState& state);
void UnregisterWindow(const WindowState& state);
const std::vector<WindowState*>& LiveWindows();
// The live window with this SDL window id, or null (events may outlive their window).
WindowState* WindowWithSdlId(uint32_t sdlId);

}  // namespace Platform
