#include "platform/window_registry.h"

#include <algorithm>

namespace Platform {
namespace {

// Never destroyed: the framework's state, itself a static, destroys its window at exit, and the
// order in which statics are destroyed is not ours to choose.
std::vector<WindowState*>& Live() {
  static std::vector<WindowState*>* const windows = new std::vector<WindowState*>();
  return *windows;
}

}  // namespace

void RegisterWindow(WindowState& state) { Live().push_back(&state); }

void UnregisterWindow(const WindowState& state) {
  auto& live = Live();
  live.erase(std::remove(live.begin(), live.end(), &state), live.end());
}

const std::vector<WindowState*>& LiveWindows() { return Live(); }

WindowState* WindowWithSdlId(uint32_t sdlId) {
  for (WindowState* state : Live()) {
    if (state->sdlId == sdlId) return state;
  }
  return nullptr;
}

}  // namespace Platform
