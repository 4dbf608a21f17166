#include <cstdio>

#include "framework/framework_errors.h"
#include "framework/framework_state.h"
#include "platform/event_pump.h"
#include "platform_os/platform_timer.h"

namespace {

constexpr int kIdleSleepMilliseconds = 50;

// A failed present: a lost device is made again from the current settings.
void HandlePresentFailure(Platform::Result presented) {
  FrameworkState& state = GetFrameworkState();
  const bool removed = presented == Platform::kDeviceRemoved;
  std::fprintf(stderr, "Presenting failed (0x%08X); making the device again.\n", static_cast<uint32_t>(presented));
  const Platform::Result recreated = RecreateDevice();
  if (Platform::Succeeded(recreated) && state.device) return;
  const Platform::Result error = removed ? kFrameworkDeviceRemoved : kFrameworkResettingDevice;
  FrameworkReportError(error);
  FrameworkShutdown(FrameworkErrorFor(error).exitCode);
}

double SecondsNow() {
  return static_cast<double>(Platform::PerformanceCounter()) / static_cast<double>(Platform::PerformanceFrequency());
}

// Counted or paced frames (-quitafterframe, -constantframetime) come every turn even on demand.
bool DrawsEveryTurn(const FrameworkState& state) {
  return !state.renderOnDemand || state.options.hasQuitAfterFrame || state.options.hasConstantFrameTime;
}

}  // namespace

void FrameworkSetRenderOnDemand(bool onDemand) {
  FrameworkStateLock guard;
  GetFrameworkState().renderOnDemand = onDemand;
}

void FrameworkRequestFrame(float withinSeconds) {
  FrameworkStateLock guard;
  FrameSchedule& schedule = GetFrameworkState().frameSchedule;
  if (withinSeconds <= 0.0f) {
    schedule.RequestNow();
  } else {
    schedule.RequestAt(SecondsNow() + withinSeconds);
  }
}

void RenderFrame() {
  FrameworkState& state = GetFrameworkState();
  if (!state.device) return;
  // What the frame's callbacks ask for is owed by the next one.
  state.frameSchedule.FrameStarted();
  const bool active = state.window && !state.window->IsDestroyed() && state.window->IsActive();
  if (state.pauses.RenderingPaused() || !active || state.occluded) Platform::Sleep(kIdleSleepMilliseconds);

  state.frame = state.timer.NextFrame(state.options.hasConstantFrameTime, state.options.constantFrameTime);
  state.backBuffer = state.device->BackBufferDescription();
  if (!state.options.noStats) state.statistics.CountFrame(state.frame.absoluteTime);

  if (state.callbacks.frameMove) {
    state.callbacks.frameMove(state.frame.time, state.frame.elapsed, state.callbacks.frameMoveContext);
    if (!state.device) return;
  }
  if (!state.pauses.RenderingPaused() && state.callbacks.frameRender && !state.occluded) {
    state.callbacks.frameRender(state.device.get(), state.frame.time, state.frame.elapsed,
                                state.callbacks.frameRenderContext);
    if (!state.device) return;
  }

  const Platform::Result presented = state.device->Present(state.settings.device.syncInterval, state.occluded);
  if (presented == Platform::kStatusOccluded) {
    state.occluded = true;
  } else if (presented == Platform::kDeviceReset || presented == Platform::kDeviceRemoved) {
    HandlePresentFailure(presented);
    if (!state.device) return;
  } else if (Platform::Succeeded(presented)) {
    state.occluded = false;
  }

  ++state.presentedFrames;
  if (state.options.hasQuitAfterFrame && state.presentedFrames > static_cast<uint64_t>(state.options.quitAfterFrame))
    FrameworkShutdown(0);
}

void RenderPausedFrame() {
  FrameworkState& state = GetFrameworkState();
  if (!state.device || state.occluded || state.insideDeviceCallback) return;
  if (state.callbacks.frameRender)
    state.callbacks.frameRender(state.device.get(), state.frame.time, 0.0f, state.callbacks.frameRenderContext);
  if (state.device) state.device->Present(0, false);
}

Platform::Result FrameworkMainLoop() {
  FrameworkState& state = GetFrameworkState();
  if (state.insideMainLoop || state.insideDeviceCallback) {
    if (state.exitCode == 0 || state.exitCode == 10) state.exitCode = 1;
    // An error's exit code: a later shutdown (-quitafterframe, the end of the program) keeps it.
    state.exitCodeSetByError = true;
    return Platform::kFail;
  }
  state.insideMainLoop = true;
  if (!state.device) {
    if (state.deviceCreateFailed || !state.initialized) {
      state.insideMainLoop = false;
      return Platform::kFail;
    }
    const Platform::Result created = CreateDeviceInternal(true, 0, 0);
    if (Platform::Failed(created)) {
      state.insideMainLoop = false;
      return created;
    }
  }
  if (!state.initialized || !state.window || !state.device) {
    state.insideMainLoop = false;
    return Platform::kFail;
  }

  while (MainLoopTurn(-1)) {
  }
  state.insideMainLoop = false;
  return Platform::kOk;
}

bool MainLoopTurn(int longestWaitMilliseconds) {
  FrameworkState& state = GetFrameworkState();
  state.retiredWindows.clear();
  RunPendingDeviceChange();
  // A fatal error may have ended the framework with no window left to post the quit event.
  if (state.shutDown) return false;
  Platform::QueuedEvent queued;
  if (Platform::PeekEvent(&queued, true)) {
    if (queued.event.type == Platform::EventType::Quit) return false;
    Platform::DispatchEvent(queued);
    // Whatever the event changed shows in the next frame.
    state.frameSchedule.RequestNow();
    return true;
  }
  int wait = 0;
  if (!state.device) {
    wait = kIdleSleepMilliseconds;  // nothing to draw: wait rather than spin
  } else if (DrawsEveryTurn(state) || state.frameSchedule.IsDue(SecondsNow())) {
    RenderFrame();
    return true;
  } else {
    wait = state.frameSchedule.WaitMilliseconds(SecondsNow());
  }
  if (longestWaitMilliseconds >= 0 && (wait < 0 || wait > longestWaitMilliseconds)) wait = longestWaitMilliseconds;
  Platform::WaitEvent(wait);
  return true;
}
