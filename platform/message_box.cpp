#include "platform/message_box.h"

#include <SDL.h>

#include "platform/display_environment.h"
#include "platform/window.h"

namespace Platform {

std::string WithoutMnemonics(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') shown += '&', ++i;
      continue;
    }
    shown += text[i];
  }
  return shown;
}

namespace {

Uint32 IconFlags(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error: return SDL_MESSAGEBOX_ERROR;
    case MessageBoxIcon::Warning: return SDL_MESSAGEBOX_WARNING;
    case MessageBoxIcon::Information:
    case MessageBoxIcon::Question: return SDL_MESSAGEBOX_INFORMATION;
    case MessageBoxIcon::None: break;
  }
  return 0;
}

}  // namespace

int ShowMessageBox(Window* parent, const std::string& title, const std::string& text, MessageBoxIcon icon,
                   const std::vector<std::string>& buttons, int enterButton, int escapeButton) {
  // Without a display SDL would still start helper programs, only to have them fail.
  if (!parent && !VideoDriverChosen() && NamedDisplays().empty()) return -1;
  std::vector<std::string> labels;
  for (const std::string& button : buttons) labels.push_back(WithoutMnemonics(button));
  if (labels.empty()) labels.push_back("OK");
  std::vector<SDL_MessageBoxButtonData> data(labels.size());
  if (escapeButton < 0 && labels.size() == 1) escapeButton = 0;
  for (size_t i = 0; i < labels.size(); ++i) {
    data[i].buttonid = static_cast<int>(i);
    data[i].text = labels[i].c_str();
    data[i].flags = 0;
    if (static_cast<int>(i) == enterButton) data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (static_cast<int>(i) == escapeButton) data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  }
  SDL_MessageBoxData box{};
  box.flags = IconFlags(icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  box.window = parent ? parent->SdlWindow() : nullptr;
  box.title = title.c_str();
  box.message = text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) return -1;
  return pressed >= 0 && pressed < static_cast<int>(data.size()) ? pressed : -1;
}

}  // namespace Platform
