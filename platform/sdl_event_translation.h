#pragma once

#include <SDL_events.h>

// Turns SDL's events into the typed records of window_event.h.
namespace Platform {

// Queues the events one SDL event stands for, in order. Events of windows that are gone are
// dropped. Focus loss also takes the mouse capture away, so that no drag outlives it.
void TranslateEvent(const SDL_Event& event);

}  // namespace Platform
