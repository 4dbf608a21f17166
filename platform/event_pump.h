#pragma once

#include "platform/event_queue.h"

// The window thread's event loop. Everything here runs on the window thread only.
namespace Platform {

// Collects pending system events, translates them and returns true with the first waiting event
// (taking it off the queue when remove is set); false when none waits.
bool PeekEvent(QueuedEvent* event, bool remove);
// Blocks until an event waits (or timeoutMilliseconds pass; negative: no limit).
bool WaitEvent(int timeoutMilliseconds);
// Hands an event to its window's procedure (nothing for Quit or a destroyed window).
void DispatchEvent(const QueuedEvent& event);
// Queues an event for a window, unless the window is destroyed already.
void PostEvent(Window* window, WindowEvent event);
// Queues Quit with the exit code.
void PostQuit(int exitCode);

}  // namespace Platform
