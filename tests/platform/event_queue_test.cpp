#include "platform/event_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Platform {
namespace {

// Stand-ins for windows: the queue only compares their addresses.
Window* const kFirst = reinterpret_cast<Window*>(0x10);
Window* const kSecond = reinterpret_cast<Window*>(0x20);

std::vector<QueuedEvent> TakeAll() {
  std::vector<QueuedEvent> taken;
  QueuedEvent event;
  while (FrontEvent(&event, true)) taken.push_back(event);
  return taken;
}

class EventQueueTest : public ::testing::Test {
protected:
  void SetUp() override { TakeAll(); }
  void TearDown() override { TakeAll(); }
};

TEST_F(EventQueueTest, DroppingAWindowsEventsKeepsTheOthersInOrderAcrossWrapAndGrowth) {
  // Run the ring's head forward so that growing copies a wrapped ring, then again so that what
  // follows wraps round its end.
  for (int i = 0; i < 50; ++i) EnqueueEvent(kFirst, WindowEvent::Character(U'x'));
  TakeAll();
  for (int i = 0; i < 200; ++i) EnqueueEvent(kFirst, WindowEvent::Character(static_cast<char32_t>(i)));
  const std::vector<QueuedEvent> grown = TakeAll();
  ASSERT_EQ(grown.size(), 200u);
  for (size_t i = 0; i < grown.size(); ++i) ASSERT_EQ(grown[i].event.codePoint, i);

  std::vector<char32_t> expected;
  for (int i = 0; i < 150; ++i) {
    const char32_t code = static_cast<char32_t>(0x100 + i);
    Window* window = i % 3 == 0 ? kSecond : kFirst;
    EnqueueEvent(window, WindowEvent::Character(code));
    if (window == kFirst) expected.push_back(code);
  }
  DropEventsFor(kSecond);
  EnqueueEvent(kFirst, WindowEvent::Dropped("/tmp/after.obj"));

  QueuedEvent front;
  ASSERT_TRUE(FrontEvent(&front, false));
  EXPECT_EQ(front.event.codePoint, expected.front()) << "a look leaves the event in place";

  const std::vector<QueuedEvent> taken = TakeAll();
  ASSERT_EQ(taken.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(taken[i].window, kFirst);
    EXPECT_EQ(taken[i].event.codePoint, expected[i]) << i;
  }
  EXPECT_EQ(taken.back().event.type, EventType::FileDropped);
  EXPECT_EQ(taken.back().event.path, "/tmp/after.obj");
  EXPECT_TRUE(EventQueueEmpty());
}

}  // namespace
}  // namespace Platform
