#include <algorithm>
#include <cstdio>

#include "framework/creation_failures.h"
#include "framework/framework_errors.h"
#include "framework/framework_state.h"
#include "platform_os/process_arguments.h"

namespace {

constexpr int kDefaultClientWidth = 640;
constexpr int kDefaultClientHeight = 480;
// The window never gets smaller than this, so nothing downstream divides by a zero size.
constexpr int kMinimumClientSide = 200;
constexpr size_t kLongestTitle = 255;

}  // namespace

Platform::Result FrameworkInit(bool parseCommandLine, bool showMessageBoxOnError, const char* extraCommandLine,
                               bool threadSafe) {
  FrameworkState& state = GetFrameworkState();
  state.threadSafe = threadSafe;
  FrameworkStateLock guard;
  state.initCalled = true;
  state.showMessageBoxOnError = showMessageBoxOnError;

  std::vector<std::string> arguments;
  if (parseCommandLine) {
    arguments = Platform::ProcessArguments();
    if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's name
  }
  if (extraCommandLine) {
    const std::vector<std::string> extra = SplitCommandLine(extraCommandLine);
    arguments.insert(arguments.end(), extra.begin(), extra.end());
  }
  std::string error;
  const Platform::Result parsed = ParseCommandLineArguments(arguments, &state.options, &error);
  if (Platform::Failed(parsed)) {
    // Not initialised: every later start-up step fails, and the program ends with exit code 1.
    FrameworkSetErrorExitCode(1);
    FrameworkShowErrorMessage(error);
    return parsed;
  }

  state.timer.Reset();
  state.initialized = true;
  return Platform::kOk;
}

Platform::Result FrameworkCreateWindow(const char* title, int x, int y) {
  FrameworkState& state = GetFrameworkState();
  if (state.insideMainLoop) return Platform::kFail;
  if (!state.initCalled) FrameworkInit(true, true, nullptr, false);
  if (!state.initialized) return Platform::kFail;
  if (state.window) return Platform::kOk;

  state.windowTitle = std::string(title ? title : "").substr(0, kLongestTitle);
  if (state.options.hasStartX) x = state.options.startX;
  if (state.options.hasStartY) y = state.options.startY;
  if (x == Platform::kDefaultPosition && y != Platform::kDefaultPosition) x = 0;
  if (y == Platform::kDefaultPosition && x != Platform::kDefaultPosition) y = 0;
  const int width = std::max(state.options.width > 0 ? state.options.width : kDefaultClientWidth, kMinimumClientSide);
  const int height =
      std::max(state.options.height > 0 ? state.options.height : kDefaultClientHeight, kMinimumClientSide);

  // Mesa reads which rasteriser to use when the display opens, so a forced one goes first.
  if (state.options.forceReference || state.options.forceWarp) {
    state.startedDriver = state.options.forceReference ? Platform::DriverType::Reference : Platform::DriverType::Warp;
    Platform::SelectDriver(state.startedDriver);
  }

  std::string error = "made to fail on purpose (PATINEX_FAIL_CREATION)";
  if (!CreationFailsOnPurpose(CreationKind::Window))
    state.window = Platform::Window::Create(state.windowTitle, x, y, width, height, FrameworkWindowProcedure, &error);
  if (!state.window) {
    state.windowCreateFailed = true;
    std::fprintf(stderr, "Could not create the window: %s\n", error.c_str());
    FrameworkSetErrorExitCode(1);
    return Platform::kFail;
  }
  state.window->SetMinimumClientSize(kMinimumClientSide, kMinimumClientSide);
  return Platform::kOk;
}

void FrameworkShutdown(int exitCode) {
  FrameworkState& state = GetFrameworkState();
  if (state.shutDown || state.shuttingDown) return;
  state.shuttingDown = true;
  if (!state.exitCodeSetByError) state.exitCode = exitCode;
  if (state.window && !state.window->IsDestroyed()) {
    state.window->Send(Platform::WindowEvent::Of(Platform::EventType::Close));
    // The event callback may have kept the window; shutting down closes it anyway.
    if (!state.window->IsDestroyed()) state.window->Destroy();
  }
  ReleaseDevice();
  state.shutDown = true;
}
