#pragma once

#include <atomic>

namespace Platform {

// The signals a user or the system sends to end a program politely: SIGINT (Ctrl+C), SIGTERM
// and SIGHUP (the terminal went away).

// For the whole process: any of them first removes the files exit_removals.h lists, then ends
// the process as the signal would have. Installed once, before any work.
void RemoveUnfinishedFilesOnSignals();

// Any of them as a request to stop. While an InterruptCatcher lives, the first signal only
// sets a flag the program polls; a second one (Ctrl+C again to quit at once) removes the
// listed files and ends the program as the signal does. The handling the process had before
// comes back when the catcher goes. One catcher at a time.
class InterruptCatcher {
public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  bool Requested() const;
  // The same as a flag that work deep inside the program can poll.
  const std::atomic<bool>& Flag() const;
  // The first signal caught (SIGINT, SIGTERM or SIGHUP), 0 while none was.
  int Signal() const;
  // Its name: "SIGINT" and so on.
  const char* SignalName() const;
};

}  // namespace Platform
