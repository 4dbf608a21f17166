#include "platform/event_queue.h"

#include <utility>
#include <vector>

namespace Platform {
namespace {

// A first-in first-out ring of events that keeps its storage, so that a quiet frame's look at
// the queue allocates nothing.
class EventRing {
public:
  bool Empty() const { return count == 0; }
  QueuedEvent& Front() { return slots[head]; }

  void Push(QueuedEvent event) {
    if (count == slots.size()) Grow();
    slots[(head + count) % slots.size()] = std::move(event);
    ++count;
  }

  void Pop() {
    head = (head + 1) % slots.size();
    --count;
  }

  void RemoveFor(const Window* window) {
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
      QueuedEvent& event = slots[(head + i) % slots.size()];
      if (event.window != window) {
        QueuedEvent& target = slots[(head + kept++) % slots.size()];
        if (&target != &event) target = std::move(event);
      }
    }
    count = kept;
  }

private:
  void Grow() {
    std::vector<QueuedEvent> larger(slots.empty() ? 64 : slots.size() * 2);
    for (size_t i = 0; i < count; ++i) larger[i] = std::move(slots[(head + i) % slots.size()]);
    slots.swap(larger);
    head = 0;
  }

  std::vector<QueuedEvent> slots;
  size_t head = 0;
  size_t count = 0;
};

// Never destroyed: a window held in another static (the framework's state) is destroyed at exit
// after this queue would be, and its destructor still drops its events from the queue.
EventRing& Queue() {
  static EventRing* const queue = new EventRing;
  return *queue;
}

}  // namespace

void EnqueueEvent(Window* window, WindowEvent event) { Queue().Push(QueuedEvent{window, std::move(event)}); }

bool EventQueueEmpty() { return Queue().Empty(); }

bool FrontEvent(QueuedEvent* event, bool remove) {
  if (Queue().Empty()) return false;
  if (event) *event = remove ? std::move(Queue().Front()) : Queue().Front();
  if (remove) Queue().Pop();
  return true;
}

void DropEventsFor(const Window* window) { Queue().RemoveFor(window); }

}  // namespace Platform
