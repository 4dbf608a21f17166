#pragma once

namespace Platform {

// When the X display goes away under a running program (the server ends, a forwarded session
// drops), Xlib's default reaction is exit(), whose clean-up then talks to the dead connection
// again and spins there for ever. Once watched, losing the display prints why and ends the
// process at once with status 1; the masks of finished steps are already on disk. Only the X11
// video driver needs this; for others it does nothing. Safe to call more than once.
void WatchForDisplayLoss(const char* videoDriver);

}  // namespace Platform
