#include "platform/window.h"

#include "platform/event_pump.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// Real windows on the test's X server, fed real input through xdotool where the server makes it
// reliable and through SDL's own queue where it does not (there is no window manager to close,
// drop or switch focus).
namespace Platform {
namespace {

struct Seen {
  Window* window;
  WindowEvent event;
};

std::vector<Seen> seen;

void Record(Window* window, const WindowEvent& event) { seen.push_back({window, event}); }

// Handles events until the test's condition holds, or gives up after five seconds (input from
// another process arrives when the X server gets to it).
bool PumpUntil(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QueuedEvent queued;
    if (WaitEvent(20)) {
      while (PeekEvent(&queued, true)) DispatchEvent(queued);
    }
  }
  return true;
}

// The events seen of these kinds, in order.
std::vector<Seen> Only(std::initializer_list<EventType> kinds) {
  std::vector<Seen> result;
  for (const Seen& s : seen) {
    for (EventType kind : kinds) {
      if (s.event.type == kind) result.push_back(s);
    }
  }
  return result;
}

size_t Count(EventType kind) { return Only({kind}).size(); }

// The X server of the tests now and then resets a new connection; xdotool then fails before
// it sends anything, so trying again cannot send input twice.
void Xdotool(const std::string& arguments) {
  std::string command = "xdotool " + arguments;
  int status = -1;
  for (int attempt = 0; attempt < 5 && status != 0; ++attempt) status = std::system(command.c_str());
  ASSERT_EQ(status, 0) << command;
}

SDL_Event WindowEvent(Window& window, SDL_WindowEventID kind) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = SDL_GetWindowID(window.SdlWindow());
  event.window.event = kind;
  return event;
}

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    seen.clear();
    window = Make(100, 100);
    ASSERT_TRUE(window);
  }

  static std::unique_ptr<Window> Make(int x, int y) {
    std::string error;
    auto made = Window::Create("window test", x, y, 320, 240, Record, &error);
    EXPECT_TRUE(made) << error;
    if (made) {
      // Without a window manager SDL hands a new window the focus itself.
      EXPECT_TRUE(PumpUntil([] { return Count(EventType::Paint) > 0 && Count(EventType::FocusGained) > 0; }));
      seen.clear();
    }
    return made;
  }

  // Moves the pointer to a client point: without a window manager the client area sits
  // exactly at the window's position.
  void MoveTo(int x, int y) {
    Point origin = window->Position();
    Xdotool("mousemove " + std::to_string(origin.x + x) + " " + std::to_string(origin.y + y));
  }

  std::unique_ptr<Window> window;
};

TEST_F(WindowTest, ClientAreaHasTheRequestedSizeAndKeepsItsMinimum) {
  int width = 0, height = 0;
  window->GetClientSize(&width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  EXPECT_TRUE(window->IsActive());
  EXPECT_FALSE(window->IsOccluded());

  window->SetMinimumClientSize(300, 200);
  window->SetClientSize(100, 100);
  PumpUntil([] { return Count(EventType::Resized) > 0; });
  window->GetClientSize(&width, &height);
  EXPECT_EQ(width, 300);
  EXPECT_EQ(height, 200);
  auto sizes = Only({EventType::Resized});
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().event.sizeKind, SizeKind::Restored);
  EXPECT_EQ(sizes.back().event.width, 300);
  EXPECT_EQ(sizes.back().event.height, 200);

  window->Hide();
  EXPECT_TRUE(window->IsOccluded());
  EXPECT_FALSE(window->IsActive());
}

TEST_F(WindowTest, KeysGiveVirtualKeysCharactersAndSystemKeys) {
  Xdotool("key a Return alt+x F10");
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::SystemKeyUp) >= 2; }));
  auto keys = Only({EventType::KeyDown, EventType::KeyUp, EventType::Text});
  ASSERT_GE(keys.size(), 6u);
  EXPECT_EQ(keys[0].event.type, EventType::KeyDown);
  EXPECT_EQ(keys[0].event.key, 'A');
  EXPECT_FALSE(keys[0].event.repeat);
  EXPECT_EQ(keys[1].event.type, EventType::Text);
  EXPECT_EQ(keys[1].event.codePoint, U'a');
  EXPECT_EQ(keys[2].event.type, EventType::KeyUp);
  EXPECT_EQ(keys[2].event.key, 'A');
  EXPECT_EQ(keys[3].event.type, EventType::KeyDown);
  EXPECT_EQ(keys[3].event.key, VK_RETURN);
  EXPECT_EQ(keys[4].event.type, EventType::Text);
  EXPECT_EQ(keys[4].event.codePoint, U'\r');
  // Alt+X is a shortcut: it types nothing.
  EXPECT_EQ(Count(EventType::Text), 2u);

  auto systemKeys = Only({EventType::SystemKeyDown});
  ASSERT_EQ(systemKeys.size(), 3u);
  EXPECT_EQ(systemKeys[0].event.key, VK_MENU);
  EXPECT_EQ(systemKeys[1].event.key, 'X');
  EXPECT_TRUE(systemKeys[1].event.alt);
  EXPECT_EQ(systemKeys[2].event.key, VK_F10);
  EXPECT_FALSE(systemKeys[2].event.alt);

  // An auto-repeated key says it was down already.
  seen.clear();
  SDL_Event repeat{};
  repeat.type = SDL_KEYDOWN;
  repeat.key.windowID = SDL_GetWindowID(window->SdlWindow());
  repeat.key.repeat = 1;
  repeat.key.keysym.scancode = SDL_SCANCODE_LEFT;
  repeat.key.keysym.sym = SDLK_LEFT;
  ASSERT_EQ(SDL_PushEvent(&repeat), 1);
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::KeyDown) > 0; }));
  EXPECT_EQ(seen[0].event.key, VK_LEFT);
  EXPECT_TRUE(seen[0].event.repeat);
}

TEST_F(WindowTest, TextInputGivesOneCharacterPerCodePoint) {
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = SDL_GetWindowID(window->SdlWindow());
  SDL_strlcpy(text.text.text, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", sizeof text.text.text);  // a é € 😀
  ASSERT_EQ(SDL_PushEvent(&text), 1);
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::Text) >= 4; }));
  auto characters = Only({EventType::Text});
  ASSERT_EQ(characters.size(), 4u);
  EXPECT_EQ(characters[0].event.codePoint, 0x61u);
  EXPECT_EQ(characters[1].event.codePoint, 0xE9u);
  EXPECT_EQ(characters[2].event.codePoint, 0x20ACu);
  EXPECT_EQ(characters[3].event.codePoint, 0x1F600u);
}

TEST_F(WindowTest, DoubleClickAndWheelCarryClientPoints) {
  MoveTo(40, 30);
  Xdotool("click --repeat 2 --delay 80 1 click 4 click 5");
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::Wheel) >= 2; }));
  auto buttons = Only({EventType::ButtonDown, EventType::ButtonUp, EventType::DoubleClick});
  ASSERT_EQ(buttons.size(), 4u);
  EXPECT_EQ(buttons[0].event.type, EventType::ButtonDown);
  EXPECT_EQ(buttons[1].event.type, EventType::ButtonUp);
  EXPECT_EQ(buttons[2].event.type, EventType::DoubleClick);
  EXPECT_TRUE(buttons[2].event.held.left);
  EXPECT_EQ(buttons[3].event.type, EventType::ButtonUp);
  EXPECT_FALSE(buttons[3].event.held.left);
  for (const Seen& button : buttons) {
    EXPECT_EQ(button.event.button, MouseButton::Left);
    EXPECT_EQ(button.event.position.x, 40);
    EXPECT_EQ(button.event.position.y, 30);
  }

  auto wheel = Only({EventType::Wheel});
  EXPECT_EQ(wheel[0].event.wheelDelta, kWheelNotch);  // away from the user
  EXPECT_EQ(wheel[1].event.wheelDelta, -kWheelNotch);
  EXPECT_EQ(wheel[0].event.position.x, 40);
  EXPECT_EQ(wheel[0].event.position.y, 30);
}

TEST_F(WindowTest, CaptureChangesTellTheWindowLosingIt) {
  auto other = Make(500, 100);
  ASSERT_TRUE(other);
  window->SetCapture();
  EXPECT_EQ(GetCapture(), window.get());
  EXPECT_TRUE(seen.empty());

  other->SetCapture();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, window.get());
  EXPECT_EQ(seen[0].event.type, EventType::CaptureLost);
  EXPECT_EQ(seen[0].event.capturedBy, other->Handle());

  ReleaseCapture();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].window, other.get());
  EXPECT_EQ(seen[1].event.capturedBy, 0u);
  EXPECT_EQ(GetCapture(), nullptr);

  // Losing the focus in the middle of a drag ends it.
  seen.clear();
  other->SetCapture();
  SDL_Event lost = WindowEvent(*other, SDL_WINDOWEVENT_FOCUS_LOST);
  ASSERT_EQ(SDL_PushEvent(&lost), 1);
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::Activation) > 0; }));
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_EQ(Count(EventType::CaptureLost), 1u);
  EXPECT_EQ(Only({EventType::CaptureLost})[0].window, other.get());
  EXPECT_FALSE(Only({EventType::Activation})[0].event.active);
  EXPECT_EQ(Count(EventType::FocusLost), 1u);
  EXPECT_FALSE(other->IsActive());
}

TEST_F(WindowTest, FullScreenTakesTheDesktopAndGivesTheWindowBack) {
  SDL_DisplayMode desktop;
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  ASSERT_EQ(window->SetFullScreen(true), kOk);
  EXPECT_TRUE(window->IsFullScreen());
  int width = 0, height = 0;
  window->GetClientSize(&width, &height);
  EXPECT_EQ(width, desktop.w);
  EXPECT_EQ(height, desktop.h);

  ASSERT_EQ(window->SetFullScreen(false), kOk);
  EXPECT_FALSE(window->IsFullScreen());
  window->GetClientSize(&width, &height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
}

TEST_F(WindowTest, ClipboardRoundTripsUtf8Text) {
  const std::string text = "Rost \xE2\x80\x94 patina \xC3\xA9";
  ASSERT_TRUE(SetClipboardText(text));
  EXPECT_EQ(GetClipboardText(), text);
}

TEST_F(WindowTest, CloseDropAndDestroyReachTheProcedure) {
  SDL_Event close = WindowEvent(*window, SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_Event drop{};
  drop.type = SDL_DROPFILE;
  drop.drop.windowID = SDL_GetWindowID(window->SdlWindow());
  drop.drop.file = SDL_strdup("/tmp/model.obj");
  for (SDL_Event* event : {&close, &quit, &drop}) ASSERT_EQ(SDL_PushEvent(event), 1);
  ASSERT_TRUE(PumpUntil([] { return Count(EventType::FileDropped) > 0; }));
  EXPECT_EQ(Count(EventType::Close), 2u);
  EXPECT_EQ(Only({EventType::FileDropped})[0].event.path, "/tmp/model.obj");

  // Events still waiting for a destroyed window are never handed to it.
  seen.clear();
  PostEvent(window.get(), WindowEvent::Of(EventType::Paint));
  window->Destroy();
  window->Destroy();
  EXPECT_TRUE(window->IsDestroyed());
  EXPECT_EQ(Count(EventType::Destroy), 1u);
  QueuedEvent queued;
  while (PeekEvent(&queued, true)) DispatchEvent(queued);
  EXPECT_EQ(Count(EventType::Paint), 0u);
}

TEST_F(WindowTest, VideoStopsWithTheLastWindowAndStartsAgainForTheNext) {
  auto other = Make(500, 100);
  window.reset();
  EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  other.reset();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  window = Make(100, 100);
  ASSERT_TRUE(window);
  int width = 0, height = 0;
  window->GetClientSize(&width, &height);
  EXPECT_EQ(width, 320);
}

}  // namespace
}  // namespace Platform
