#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/window.h"
// Last: Xlib's macros (None, Status, Bool) would rename what the headers above declare.
#include <X11/Xlib.h>

namespace {

// An event sent to a window that is gone by the time the server reads the request fails with
// BadWindow, which by default ends the process: once our video is started it is passed over.
TEST(XRequestErrors, AnEventSentToAWindowAlreadyGoneDoesNotEndTheProgram) {
  std::string error;
  const std::unique_ptr<Platform::Window> window =
      Platform::Window::Create("x errors", 0, 0, 64, 64, [](Platform::Window*, const Platform::WindowEvent&) {}, &error);
  ASSERT_TRUE(window) << error;
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) GTEST_SKIP() << "not on X11";
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const ::Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(display, gone);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = gone;
  event.xclient.format = 32;
  XSendEvent(display, gone, False, NoEventMask, &event);
  XSync(display, False);  // the error comes back here
  XCloseDisplay(display);
}

}  // namespace
