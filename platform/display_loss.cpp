#include "platform/display_loss.h"

#include <X11/Xlib.h>
#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace Platform {
namespace {

void WriteAll(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, text, left);
    if (written <= 0) return;
    text += written;
    left -= static_cast<size_t>(written);
  }
}

// Runs inside Xlib with the connection gone: no stdio, no allocation, no return (Xlib would
// exit() on return, which is what hangs).
int OnDisplayLost(Display*) {
  WriteAll(program_invocation_short_name);
  WriteAll(": lost the connection to the X display; exiting\n");
  ::_exit(1);
}

}  // namespace

void WatchForDisplayLoss(const char* videoDriver) {
  if (videoDriver == nullptr || std::strcmp(videoDriver, "x11") != 0) return;
  XSetIOErrorHandler(OnDisplayLost);
}

}  // namespace Platform
