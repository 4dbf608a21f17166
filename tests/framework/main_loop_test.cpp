#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "framework/framework.h"
#include "platform/event_pump.h"

// Each case runs the framework in a child process of its own (the framework's state is one per
// process), which prints what it saw and exits with the framework's exit code.
namespace {

using Platform::Result;

bool HasDisplay() { return std::getenv("DISPLAY") != nullptr; }

class MainLoop : public testing::Test {
protected:
  MainLoop() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

struct Counts {
  int frames = 0;
  int created = 0;
  int resized = 0;
  int releasing = 0;
  int destroyed = 0;
  Platform::SurfaceDescription backBuffer;
  std::string renderers;
};
Counts counts;

Result OnCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription*, void*) {
  ++counts.created;
  counts.renderers += "[" + device->RendererName() + "]";
  return Platform::kOk;
}
Result OnResized(Platform::GraphicsDevice*, const Platform::SurfaceDescription* backBuffer, void*) {
  ++counts.resized;
  counts.backBuffer = *backBuffer;
  return Platform::kOk;
}
void OnReleasing(void*) { ++counts.releasing; }
void OnDestroyed(void*) { ++counts.destroyed; }
void OnRender(Platform::GraphicsDevice* device, double, float, void*) {
  ++counts.frames;
  const float blue[4] = {0.1f, 0.2f, 0.6f, 1.0f};
  device->ClearRenderTargetView(FrameworkGetBackBufferView(), blue);
}

void RegisterCounters() {
  FrameworkSetCallbackDeviceCreated(OnCreated);
  FrameworkSetCallbackSwapChainResized(OnResized);
  FrameworkSetCallbackSwapChainReleasing(OnReleasing);
  FrameworkSetCallbackDeviceDestroyed(OnDestroyed);
  FrameworkSetCallbackFrameRender(OnRender);
}

// Ends a child whose main loop never gets to its end (a frame owed but never drawn) with exit
// code 3, instead of leaving the test hanging.
void StartWatchdog() {
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::fprintf(stderr, "watchdog: the loop hung\n");
    std::_Exit(3);
  }).detach();
}

// Start-up as the application does it, then the main loop; exits with the framework's code.
[[noreturn]] void RunFramework(const char* options, void (*frameMove)(double, float, void*) = nullptr,
                               bool onDemand = false) {
  StartWatchdog();
  RegisterCounters();
  if (frameMove) FrameworkSetCallbackFrameMove(frameMove);
  FrameworkSetRenderOnDemand(onDemand);
  FrameworkInit(false, true, options, false);
  FrameworkCreateWindow("framework test");
  FrameworkCreateDevice(true, 800, 600);
  FrameworkMainLoop();
  std::fprintf(stderr, "frames=%d created=%d resized=%d releasing=%d destroyed=%d size=%ux%u renderers=%s\n",
               counts.frames, counts.created, counts.resized, counts.releasing, counts.destroyed,
               counts.backBuffer.width, counts.backBuffer.height, counts.renderers.c_str());
  std::exit(FrameworkGetExitCode());
}

TEST_F(MainLoop, QuitAfterFrameEndsWithExitCodeZeroAfterTheNextFrameWithTheCallbacksInPairs) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes -quitafterframe:10"), testing::ExitedWithCode(0),
              "frames=11 created=1 resized=1 releasing=1 destroyed=1 ");
}

TEST_F(MainLoop, WidthAndHeightOptionsOverrideTheRequestedSize) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes -quitafterframe:2 -width:1024 -height:768"), testing::ExitedWithCode(0),
              "size=1024x768 ");
}

TEST_F(MainLoop, AnInvalidSizeEndsWithExitCodeOneAndSaysWhyWithoutAWindow) {
  EXPECT_EXIT(RunFramework("-noerrormsgboxes -width:0"), testing::ExitedWithCode(1),
              "Invalid value \"0\" for the option -width.*\n.*frames=0 created=0 ");
}

// Minimises the window at frame 3 and restores it at frame 9; reports whether time stood still.
// Rendering pauses for those frames: 7 of the 14 are drawn, or 8 when the X server asks the
// (never really minimised) window for a repaint meanwhile, which draws one frame.
double minimisedTime = -1.0;
bool timeStoodStill = true;
int moves = 0;
void MinimiseAndRestore(double time, float elapsed, void*) {
  ++moves;
  Platform::Window* window = FrameworkGetWindow();
  if (moves == 3) {
    window->Send(Platform::WindowEvent::Resize(Platform::SizeKind::Minimized, 0, 0));
    minimisedTime = -1.0;
  } else if (moves > 3 && moves < 9) {
    if (minimisedTime < 0.0) minimisedTime = time;
    if (time != minimisedTime || elapsed != 0.0f) timeStoodStill = false;
  } else if (moves == 9) {
    const Platform::SurfaceDescription size = FrameworkGetBackBufferDescription();
    window->Send(Platform::WindowEvent::Resize(Platform::SizeKind::Restored, static_cast<int>(size.width),
                                              static_cast<int>(size.height)));
  } else if (moves == 14) {
    std::fprintf(stderr, "stood still=%d moved on=%d ", timeStoodStill, time > minimisedTime);
    FrameworkShutdown(0);
  }
}

TEST_F(MainLoop, AMinimisedWindowStopsTime) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes", MinimiseAndRestore), testing::ExitedWithCode(0),
              "stood still=1 moved on=1 .*frames=[78] ");
}

// On demand: the first frame asks for one in 0.4 s; the frames drawn meanwhile can only be those
// the start-up's window messages bring. Once the asked-for frame has come, a message is posted,
// and the frame it brings ends the program.
double SecondsNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
double askedAt = -1.0;
double postedAt = -1.0;
int framesWhileResting = 0;
void RestThenWake(double, float, void*) {
  const double now = SecondsNow();
  if (askedAt < 0.0) {
    askedAt = now;
    FrameworkRequestFrame(0.4f);
  } else if (postedAt < 0.0 && now - askedAt < 0.39) {
    ++framesWhileResting;
  } else if (postedAt < 0.0) {
    Platform::PostEvent(FrameworkGetWindow(), Platform::WindowEvent::Of(Platform::EventType::Wake));
    postedAt = now;
  } else {
    std::fprintf(stderr, "rested=%d woke=%d ", framesWhileResting < 10, now - postedAt < 1.0);
    FrameworkShutdown(0);
  }
}

TEST_F(MainLoop, OnDemandTheLoopDrawsOnlyWhenAFrameIsAskedForOrAMessageCame) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes", RestThenWake, true), testing::ExitedWithCode(0), "rested=1 woke=1 ");
}

int pacedMoves = 0;
void EndAtFrameTwenty(double, float, void*) {
  if (++pacedMoves == 20) FrameworkShutdown(0);
}

// Left resting after the start-up's frames, these would never reach their end (the watchdog's
// exit code 3).
TEST_F(MainLoop, OnDemandCountedAndPacedFramesStillComeEveryTurn) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes -quitafterframe:10", nullptr, true), testing::ExitedWithCode(0),
              "frames=11 ");
  // The twentieth frame-move ends it before its frame is drawn.
  EXPECT_EXIT(RunFramework("-noerrormsgboxes -constantframetime", EndAtFrameTwenty, true), testing::ExitedWithCode(0),
              "frames=19 ");
}

// Switches to the reference rasteriser at frame 2 and back at frame 5, in one process.
int toggles = 0;
void ToggleReferenceTwice(double, float, void*) {
  ++toggles;
  if (toggles == 2 || toggles == 5) FrameworkToggleREF();
  if (toggles == 7) FrameworkShutdown(0);
}

TEST_F(MainLoop, ToggleREFSwitchesBetweenTheHardwareAndTheReferenceRasteriser) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  EXPECT_EXIT(RunFramework("-noerrormsgboxes", ToggleReferenceTwice), testing::ExitedWithCode(0),
              "created=3 resized=3 releasing=3 destroyed=3 .*renderers=\\[llvmpipe[^]]*\\]\\[softpipe\\]\\[llvmpipe");
}

// The framework's fatal errors through the main loop: each ends the program with its exit code
// and says its message (on stderr; message boxes are off). A failure arranged before start-up
// hits the first device; one from frame 2 on hits the change or resize that frame makes.
bool failCreatedFromSecondCall = false;
bool failResizedFromSecondCall = false;
int frameTwoAction = 0;  // 1: change the device, 2: resize the window, 3: enter the main loop again
Result FailingCreated(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer, void*) {
  OnCreated(device, backBuffer, nullptr);
  return failCreatedFromSecondCall && counts.created >= 2 ? Platform::kFail : Platform::kOk;
}
Result FailingResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription* backBuffer, void*) {
  OnResized(device, backBuffer, nullptr);
  return failResizedFromSecondCall && counts.resized >= 2 ? Platform::kFail : Platform::kOk;
}
Result MissingMedia(Platform::GraphicsDevice*, const Platform::SurfaceDescription*, void*) {
  char path[260];
  return FrameworkFindMediaFile(path, 260, "no_such_effect.fx");
}
bool RejectSettings(FrameworkDeviceSettings*, void*) { return false; }
int fatalMoves = 0;
void ActAtFrameTwo(double, float, void*) {
  if (++fatalMoves != 2) return;
  if (frameTwoAction == 1) {
    FrameworkDeviceSettings settings = FrameworkGetDeviceSettings();
    settings.device.syncInterval = 0;
    FrameworkChangeDevice(settings);
  } else if (frameTwoAction == 2) {
    FrameworkGetWindow()->SetClientSize(520, 400);
  } else if (frameTwoAction == 3) {
    std::fprintf(stderr, "inner loop %s ", Platform::Failed(FrameworkMainLoop()) ? "refused" : "ran");
  }
}

struct FatalError {
  const char* what;
  void (*arrange)();
  int exitCode;
  const char* says;
};

[[noreturn]] void RunFatal(const FatalError& error) {
  FrameworkSetCallbackDeviceCreated(FailingCreated);
  FrameworkSetCallbackSwapChainResized(FailingResized);
  FrameworkSetCallbackFrameRender(OnRender);
  FrameworkSetCallbackFrameMove(ActAtFrameTwo);
  error.arrange();
  FrameworkInit(false, true, "-noerrormsgboxes -quitafterframe:60", false);
  FrameworkCreateWindow("framework test");
  FrameworkCreateDevice(true, 320, 240);
  FrameworkMainLoop();
  std::exit(FrameworkGetExitCode());
}

TEST_F(MainLoop, FatalErrorsEndTheProgramWithTheirExitCodesAndMessages) {
  if (!HasDisplay()) GTEST_SKIP() << "needs a display";
  const FatalError errors[] = {
      {"no device at all", [] { setenv("PATINEX_FAIL_CREATION", "device:1", 1); }, 2,
       "Could not initialize OpenGL 3.3"},
      {"every device rejected", [] { FrameworkSetCallbackModifyDeviceSettings(RejectSettings); }, 3,
       "Could not find any compatible OpenGL devices\\."},
      {"a missing media file", [] { FrameworkSetCallbackDeviceCreated(MissingMedia); }, 4,
       "Could not find required media\\."},
      {"the device-created callback failing in a device change",
       [] { failCreatedFromSecondCall = true, frameTwoAction = 1; }, 8,
       "An error occurred in the device create callback function\\."},
      {"the swap-chain resized callback failing in a resize",
       [] { failResizedFromSecondCall = true, frameTwoAction = 2; }, 9,
       "An error occurred in the device reset callback function\\."},
      {"the main loop entered again", [] { frameTwoAction = 3; }, 1, "inner loop refused"},
  };
  for (const FatalError& error : errors) {
    SCOPED_TRACE(error.what);
    EXPECT_EXIT(RunFatal(error), testing::ExitedWithCode(error.exitCode), error.says);
  }
}

}  // namespace
