#include "platform/x_request_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <cstring>

namespace Platform {
namespace {

XErrorHandler previousHandler = nullptr;

int OnRequestError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

}  // namespace

void PassOverEventsToGoneWindows(const char* videoDriver) {
  if (videoDriver == nullptr || std::strcmp(videoDriver, "x11") != 0) return;
  // Once, before the video layer's first start: it puts its own handler over ours and hands
  // on to it, so ours sees the errors of its start too, and handing on never comes round again.
  static bool installed = false;
  if (installed) return;
  installed = true;
  previousHandler = XSetErrorHandler(OnRequestError);
}

}  // namespace Platform
