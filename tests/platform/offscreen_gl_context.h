#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <stdexcept>
#include <string>

namespace Platform {

// A hidden window with an OpenGL 3.3 core context, for tests of code that needs a current
// context but not the device around it. Needs a display (the tests run under Xvfb).
class OffscreenGlContext {
public:
  OffscreenGlContext() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) throw std::runtime_error(std::string("SDL video: ") + SDL_GetError());
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    window = SDL_CreateWindow("test", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) throw std::runtime_error(std::string("SDL window: ") + SDL_GetError());
    context = SDL_GL_CreateContext(window);
    if (!context) throw std::runtime_error(std::string("GL context: ") + SDL_GetError());
  }
  ~OffscreenGlContext() {
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  OffscreenGlContext(const OffscreenGlContext&) = delete;
  OffscreenGlContext& operator=(const OffscreenGlContext&) = delete;

  SDL_Window* Window() const { return window; }

private:
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
};

}  // namespace Platform
