#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/display_environment.h"
#include "platform/display_loss.h"
#include "platform/x_request_errors.h"
#include "platform/event_queue.h"
#include "platform/window_registry.h"
#include "platform/window_state.h"

namespace Platform {
namespace {

// Windows holding the video subsystem. It stops with the last one, so that a new window made
// after everything was torn down (a switch of OpenGL driver) starts from a fresh display.
int videoUsers = 0;

// Whether a program may be given windows nobody sees when no display can be opened.
bool offScreenPermitted = false;

bool InitVideo(std::string* why) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  if (why) *why = SDL_GetError();
  return false;
}

bool StartOffScreen(std::string* error) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  if (InitVideo(error)) return true;
  if (error) *error = "Cannot start the off-screen video driver: " + *error;
  return false;
}

// Only the displays the environment names are tried: left to itself SDL settles for a driver
// that shows nothing, and a window program would run unseen until killed.
bool StartVideo(std::string* error) {
  if (VideoDriverChosen()) {
    std::string why;
    PassOverEventsToGoneWindows(SDL_getenv("SDL_VIDEODRIVER"));
    if (!InitVideo(&why)) {
      if (error) *error = std::string("Cannot start the video driver ") + SDL_getenv("SDL_VIDEODRIVER") + ": " + why;
      return false;
    }
    WatchForDisplayLoss(SDL_GetCurrentVideoDriver());
    return true;
  }
  const std::vector<NamedDisplay> displays = NamedDisplays();
  if (displays.empty()) {
    if (offScreenPermitted) return StartOffScreen(error);
    if (error) *error = "No display could be opened: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
  }
  // A display connection now and then fails (a busy X server resets it): try again before
  // giving up.
  constexpr int kAttempts = 5;
  std::string tried;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    tried.clear();
    for (const NamedDisplay& display : displays) {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, display.driver);
      std::string why;
      PassOverEventsToGoneWindows(display.driver);
      if (InitVideo(&why)) {
        WatchForDisplayLoss(display.driver);
        return true;
      }
      tried += (tried.empty() ? "" : "; ") + display.variable + ": " + why;
    }
  }
  if (offScreenPermitted) return StartOffScreen(error);
  if (error) *error = "No display could be opened (" + tried + ")";
  return false;
}

bool AcquireVideo(std::string* error) {
  if (videoUsers == 0) {
    // Closing the last window is the program's decision (its Close event), not a quit request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_TIME, "500");
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "4");
    // The click that focuses a window also acts on it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (!StartVideo(error)) return false;
  }
  ++videoUsers;
  return true;
}

void ReleaseVideo() {
  if (videoUsers > 0 && --videoUsers == 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SetContextAttributes(bool srgb) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, srgb ? 1 : 0);
}

int SdlPosition(int coordinate) { return coordinate == kDefaultPosition ? SDL_WINDOWPOS_UNDEFINED : coordinate; }

int ToWindowUnits(int pixels, float scale) { return std::max(1, static_cast<int>(std::lround(pixels / scale))); }

}  // namespace

void PermitOffScreenWindows() { offScreenPermitted = true; }

Window::Window() : state(std::make_unique<WindowState>()) { state->owner = this; }

Window::~Window() {
  Destroy();
  DropEventsFor(this);
}

std::unique_ptr<Window> Window::Create(const std::string& title, int x, int y, int clientWidth, int clientHeight,
                                       WindowProcedure procedure, std::string* error) {
  if (clientWidth <= 0 || clientHeight <= 0) {
    if (error) *error = "Cannot create a window of " + std::to_string(clientWidth) + " by " + std::to_string(clientHeight) + " pixels";
    return nullptr;
  }
  if (!AcquireVideo(error)) return nullptr;

  const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN;
  // An sRGB-capable back buffer lets the device draw gamma-correct; without one it still draws.
  SetContextAttributes(true);
  SDL_Window* sdl = SDL_CreateWindow(title.c_str(), SdlPosition(x), SdlPosition(y), clientWidth, clientHeight, flags);
  if (!sdl) {
    SetContextAttributes(false);
    sdl = SDL_CreateWindow(title.c_str(), SdlPosition(x), SdlPosition(y), clientWidth, clientHeight, flags);
  }
  if (!sdl) {
    if (error) *error = std::string("Cannot create the window: ") + SDL_GetError();
    ReleaseVideo();
    return nullptr;
  }

  std::unique_ptr<Window> window(new Window());
  window->state->sdl = sdl;
  window->state->sdlId = SDL_GetWindowID(sdl);
  window->state->procedure = procedure;
  window->state->title = title;
  RegisterWindow(*window->state);

  // The size asked for is in drawable pixels; on a high-density display a window unit is more.
  window->SetClientSize(clientWidth, clientHeight);
  window->GetClientSize(&window->state->lastWidth, &window->state->lastHeight);
  SDL_ShowWindow(sdl);
  return window;
}

void Window::Destroy() {
  if (state->destroyed) return;
  state->destroyed = true;
  if (HasCapture()) Platform::ReleaseCapture();
  Send(WindowEvent::Of(EventType::Destroy));
  UnregisterWindow(*state);
  DropEventsFor(this);
  SDL_DestroyWindow(state->sdl);
  state->sdl = nullptr;
  ReleaseVideo();
}

bool Window::IsDestroyed() const { return state->destroyed; }

SDL_Window* Window::SdlWindow() const { return state->sdl; }

uintptr_t Window::Handle() const { return state->sdlId; }

void Window::SetProcedure(WindowProcedure procedure) { state->procedure = procedure; }

void Window::Send(const WindowEvent& event) {
  if (state->sdl && state->procedure) state->procedure(this, event);
}

void Window::SetTitle(const std::string& title) {
  state->title = title;
  if (state->sdl) SDL_SetWindowTitle(state->sdl, title.c_str());
}

std::string Window::Title() const { return state->title; }

void Window::GetClientSize(int* width, int* height) const {
  int w = 0, h = 0;
  if (state->sdl) SDL_GL_GetDrawableSize(state->sdl, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

void Window::SetClientSize(int width, int height) {
  if (!state->sdl || width <= 0 || height <= 0) return;
  float scale = PixelScale();
  SDL_SetWindowSize(state->sdl, ToWindowUnits(width, scale), ToWindowUnits(height, scale));
}

void Window::SetMinimumClientSize(int width, int height) {
  if (!state->sdl) return;
  float scale = PixelScale();
  // Round up: a minimum in window units must not allow fewer pixels than asked for.
  int w = std::max(1, static_cast<int>(std::ceil(width / scale)));
  int h = std::max(1, static_cast<int>(std::ceil(height / scale)));
  SDL_SetWindowMinimumSize(state->sdl, w, h);
}

Point Window::Position() const {
  Point position;
  if (state->sdl) SDL_GetWindowPosition(state->sdl, &position.x, &position.y);
  return position;
}

void Window::SetPosition(int x, int y) {
  if (state->sdl) SDL_SetWindowPosition(state->sdl, SdlPosition(x), SdlPosition(y));
}

float Window::PixelScale() const {
  if (!state->sdl) return 1.0f;
  int windowWidth = 0, windowHeight = 0, drawableWidth = 0, drawableHeight = 0;
  SDL_GetWindowSize(state->sdl, &windowWidth, &windowHeight);
  SDL_GL_GetDrawableSize(state->sdl, &drawableWidth, &drawableHeight);
  if (windowWidth <= 0 || drawableWidth <= 0) return 1.0f;
  return static_cast<float>(drawableWidth) / static_cast<float>(windowWidth);
}

void Window::Show() {
  if (state->sdl) SDL_ShowWindow(state->sdl);
}
void Window::Hide() {
  if (state->sdl) SDL_HideWindow(state->sdl);
}
void Window::Minimize() {
  if (state->sdl) SDL_MinimizeWindow(state->sdl);
}
void Window::Maximize() {
  if (state->sdl) SDL_MaximizeWindow(state->sdl);
}
void Window::Restore() {
  if (state->sdl) SDL_RestoreWindow(state->sdl);
}

bool Window::IsMinimized() const { return state->sdl && (SDL_GetWindowFlags(state->sdl) & SDL_WINDOW_MINIMIZED) != 0; }
bool Window::IsMaximized() const { return state->sdl && (SDL_GetWindowFlags(state->sdl) & SDL_WINDOW_MAXIMIZED) != 0; }

bool Window::IsVisible() const {
  if (!state->sdl) return false;
  Uint32 flags = SDL_GetWindowFlags(state->sdl);
  return (flags & SDL_WINDOW_SHOWN) != 0 && (flags & SDL_WINDOW_HIDDEN) == 0;
}

bool Window::IsActive() const {
  if (!IsVisible() || IsMinimized()) return false;
  return !state->focusKnown || state->focused;
}

bool Window::IsOccluded() const { return !IsVisible() || IsMinimized(); }

Result Window::SetFullScreen(bool fullScreen) {
  if (!state->sdl) return kFail;
  if (fullScreen == IsFullScreen()) return kOk;
  if (fullScreen) {
    SDL_GetWindowPosition(state->sdl, &state->windowedPosition.x, &state->windowedPosition.y);
    SDL_GetWindowSize(state->sdl, &state->windowedWidth, &state->windowedHeight);
  }
  if (SDL_SetWindowFullscreen(state->sdl, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    std::fprintf(stderr, "Cannot %s full screen: %s\n", fullScreen ? "enter" : "leave", SDL_GetError());
    return kFail;
  }
  if (!fullScreen && state->windowedWidth > 0) {
    SDL_SetWindowSize(state->sdl, state->windowedWidth, state->windowedHeight);
    SDL_SetWindowPosition(state->sdl, state->windowedPosition.x, state->windowedPosition.y);
  }
  return kOk;
}

bool Window::IsFullScreen() const { return state->sdl && (SDL_GetWindowFlags(state->sdl) & SDL_WINDOW_FULLSCREEN) != 0; }

Window* ForegroundWindow() {
  const auto& live = LiveWindows();
  for (WindowState* window : live) {
    if (window->HasFocus()) return window->owner;
  }
  return live.empty() ? nullptr : live.back()->owner;
}

}  // namespace Platform
