#include <SDL.h>

#include <cstdio>

#include "platform/window.h"

namespace Platform {

// The system clipboard belongs to the display, so it needs a window's video subsystem.
bool SetClipboardText(const std::string& text) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
  if (SDL_SetClipboardText(text.c_str()) != 0) {
    std::fprintf(stderr, "Cannot set the clipboard: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

std::string GetClipboardText() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return {};
  char* text = SDL_GetClipboardText();
  std::string result = text ? text : "";
  SDL_free(text);
  return result;
}

}  // namespace Platform
