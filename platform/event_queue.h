#pragma once

#include "platform/window_event.h"

// The window thread's queue of events waiting to be handled, in arrival order. The event
// translation and the program post into it; the event pump takes from it.
namespace Platform {

class Window;

struct QueuedEvent {
  Window* window = nullptr;  // null for Quit
  WindowEvent event;
};

void EnqueueEvent(Window* window, WindowEvent event);
bool EventQueueEmpty();
// The first waiting event, taken off the queue when remove is set; false when none waits.
bool FrontEvent(QueuedEvent* event, bool remove);
// Drops the events still waiting for a window that is going away.
void DropEventsFor(const Window* window);

}  // namespace Platform
