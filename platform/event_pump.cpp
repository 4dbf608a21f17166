#include "platform/event_pump.h"

#include <SDL.h>

#include <utility>

#include "platform/sdl_event_translation.h"
#include "platform/window.h"

namespace Platform {
namespace {

bool EventsRunning() { return SDL_WasInit(SDL_INIT_EVENTS) != 0; }

// System events are translated one at a time and only once the queue is empty, so that each
// event's effects on window state (focus, capture) happen after the events before it were
// handled.
void TranslatePending() {
  SDL_Event event;
  while (EventQueueEmpty() && EventsRunning() && SDL_PollEvent(&event)) TranslateEvent(event);
}

}  // namespace

bool PeekEvent(QueuedEvent* event, bool remove) {
  TranslatePending();
  return FrontEvent(event, remove);
}

bool WaitEvent(int timeoutMilliseconds) {
  TranslatePending();
  if (!EventQueueEmpty()) return true;
  if (!EventsRunning()) return false;
  const Uint64 start = SDL_GetTicks64();
  for (;;) {
    SDL_Event event;
    int got = 0;
    if (timeoutMilliseconds < 0) {
      got = SDL_WaitEvent(&event);
    } else {
      Uint64 waited = SDL_GetTicks64() - start;
      if (waited >= static_cast<Uint64>(timeoutMilliseconds)) return false;
      got = SDL_WaitEventTimeout(&event, static_cast<int>(timeoutMilliseconds - waited));
    }
    if (got) TranslateEvent(event);
    if (!EventQueueEmpty()) return true;
    if (!got && timeoutMilliseconds < 0) return false;  // the wait itself failed
  }
}

void DispatchEvent(const QueuedEvent& queued) {
  if (queued.event.type == EventType::Quit || !queued.window || queued.window->IsDestroyed()) return;
  queued.window->Send(queued.event);
}

void PostEvent(Window* window, WindowEvent event) {
  if (window && window->IsDestroyed()) return;
  EnqueueEvent(window, std::move(event));
}

void PostQuit(int exitCode) { EnqueueEvent(nullptr, WindowEvent::QuitWith(exitCode)); }

}  // namespace Platform
