#include "platform/message_queue.h"

#include <SDL.h>

#include <vector>

#include "platform/sdl_event_translation.h"
#include "platform/window.h"

namespace Platform {
namespace {

// A first-in first-out ring of messages that keeps its storage, so that a quiet frame's
// PeekMessage allocates nothing.
class MessageRing {
public:
  bool Empty() const { return count == 0; }
  const Message& Front() const { return slots[head]; }

  void Push(const Message& message) {
    if (count == slots.size()) Grow();
    slots[(head + count) % slots.size()] = message;
    ++count;
  }

  void Pop() {
    head = (head + 1) % slots.size();
    --count;
  }

  void RemoveFor(const Window* window) {
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
      const Message& message = slots[(head + i) % slots.size()];
      if (message.window != window) slots[(head + kept++) % slots.size()] = message;
    }
    count = kept;
  }

private:
  void Grow() {
    std::vector<Message> larger(slots.empty() ? 64 : slots.size() * 2);
    for (size_t i = 0; i < count; ++i) larger[i] = slots[(head + i) % slots.size()];
    slots.swap(larger);
    head = 0;
  }

  std::vector<Message> slots;
  size_t head = 0;
  size_t count = 0;
};

// Never destroyed: a window held in another static (the framework's state) is destroyed at exit
// after this queue would be, and its destructor still drops its messages from the queue.
MessageRing& Queue() {
  static MessageRing* const queue = new MessageRing;
  return *queue;
}

bool EventsRunning() { return SDL_WasInit(SDL_INIT_EVENTS) != 0; }

// System events are translated one at a time and only once the queue is empty, so that each
// event's effects on window state (focus, capture) happen after the messages before it were
// handled.
void TranslatePending() {
  SDL_Event event;
  while (Queue().Empty() && EventsRunning() && SDL_PollEvent(&event)) TranslateEvent(event);
}

}  // namespace

void EnqueueMessage(Window* window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  Queue().Push(Message{window, message, wParam, lParam});
}

void DropMessagesFor(const Window* window) { Queue().RemoveFor(window); }

bool PeekMessage(Message* message, bool remove) {
  TranslatePending();
  if (Queue().Empty()) return false;
  if (message) *message = Queue().Front();
  if (remove) Queue().Pop();
  return true;
}

bool WaitMessage(int timeoutMilliseconds) {
  TranslatePending();
  if (!Queue().Empty()) return true;
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
    if (!Queue().Empty()) return true;
    if (!got && timeoutMilliseconds < 0) return false;  // the wait itself failed
  }
}

LRESULT DispatchMessage(const Message& message) {
  if (message.message == WM_QUIT || !message.window || message.window->IsDestroyed()) return 0;
  return message.window->SendMessage(message.message, message.wParam, message.lParam);
}

void PostMessage(Window* window, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (window && window->IsDestroyed()) return;
  EnqueueMessage(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) { EnqueueMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

}  // namespace Platform
