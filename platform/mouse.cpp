#include <SDL.h>

#include <cmath>

#include "platform/window.h"
#include "platform/window_state.h"

// Mouse capture and the cursor.
namespace Platform {
namespace {

Window* captureWindow = nullptr;

// Tells the window losing the capture who has it now (0: nobody).
void MoveCapture(Window* gaining) {
  Window* losing = captureWindow;
  if (losing == gaining) return;
  captureWindow = gaining;
  // The system capture keeps mouse events coming while a button is dragged outside; when it
  // cannot be had (no window has the focus) the program's own bookkeeping still holds.
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_CaptureMouse(gaining ? SDL_TRUE : SDL_FALSE);
  if (losing) losing->Send(WindowEvent::LostCapture(gaining ? gaining->Handle() : 0));
}

int Scaled(int windowUnits, float scale) { return static_cast<int>(std::lround(windowUnits * scale)); }

}  // namespace

void Window::SetCapture() {
  if (!IsDestroyed()) MoveCapture(this);
}

void Window::ReleaseCapture() {
  if (captureWindow == this) MoveCapture(nullptr);
}

bool Window::HasCapture() const { return captureWindow == this; }

Window* GetCapture() { return captureWindow; }

void ReleaseCapture() { MoveCapture(nullptr); }

void Window::ClipCursor(bool clip) {
  if (state->sdl) SDL_SetWindowMouseGrab(state->sdl, clip ? SDL_TRUE : SDL_FALSE);
}

Point Window::CursorPosition() const {
  Point point;
  if (!state->sdl) return point;
  int screenX = 0, screenY = 0, windowX = 0, windowY = 0;
  SDL_GetGlobalMouseState(&screenX, &screenY);
  SDL_GetWindowPosition(state->sdl, &windowX, &windowY);
  float scale = PixelScale();
  point.x = Scaled(screenX - windowX, scale);
  point.y = Scaled(screenY - windowY, scale);
  return point;
}

void Window::SetCursorPosition(Point clientPoint) {
  if (!state->sdl) return;
  float scale = PixelScale();
  SDL_WarpMouseInWindow(state->sdl, static_cast<int>(std::lround(clientPoint.x / scale)),
                        static_cast<int>(std::lround(clientPoint.y / scale)));
}

Point GetCursorPos() {
  Point point;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return point;
  SDL_GetGlobalMouseState(&point.x, &point.y);
  if (Window* foreground = ForegroundWindow()) {
    float scale = foreground->PixelScale();
    point.x = Scaled(point.x, scale);
    point.y = Scaled(point.y, scale);
  }
  return point;
}

void ShowCursor(bool show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace Platform
