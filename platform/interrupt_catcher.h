#pragma once

namespace Platform {

// Ctrl+C as a request to stop. While an InterruptCatcher lives, the first interrupt only sets a
// flag the program polls; a second one ends the program as an interrupt does. The handling the
// process had before comes back when the catcher goes. One catcher at a time.
class InterruptCatcher {
public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  bool Requested() const;
};

}  // namespace Platform
