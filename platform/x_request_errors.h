#pragma once

namespace Platform {

// Xlib reports a request's error long after it was sent, and its default reaction to any error
// is to end the process. An event sent to one of our windows in the moment it is being
// destroyed (the video layer does so while windows come and go) fails with BadWindow: nothing is
// lost, there is nobody left to receive it, and it must not end the program. Once installed,
// such errors are passed over and every other error goes to the handler that was there before.
// Called before the video layer starts (it may send such events while it starts). Only the X11
// video driver needs this; for others it does nothing. Safe to call more than once.
void PassOverEventsToGoneWindows(const char* videoDriver);

}  // namespace Platform
