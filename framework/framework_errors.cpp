#include "framework/framework_errors.h"

#include <cstdio>

#include "framework/framework_state.h"

FrameworkErrorReport FrameworkErrorFor(Platform::Result result) {
  switch (static_cast<uint32_t>(result)) {
    case 0x80040901u:
      return {2, "Could not initialize OpenGL 3.3. This application requires an OpenGL 3.3 class device."};
    case 0x80040902u: return {3, "Could not find any compatible OpenGL devices."};
    case 0x80040903u: return {4, "Could not find required media."};
    case 0x80040904u:
      return {5, "The OpenGL device has a non-zero reference count, meaning some objects were not released."};
    case 0x80040905u: return {6, "Failed creating the OpenGL device."};
    case 0x80040906u: return {7, "Failed resetting the OpenGL device."};
    case 0x80040907u: return {8, "An error occurred in the device create callback function."};
    case 0x80040908u: return {9, "An error occurred in the device reset callback function."};
    case 0x8004090Au: return {11, "The OpenGL device was removed."};
    default: return {1, ""};
  }
}

void FrameworkSetErrorExitCode(int exitCode) {
  FrameworkState& state = GetFrameworkState();
  if (state.exitCodeSetByError) return;
  state.exitCode = exitCode;
  state.exitCodeSetByError = true;
}

void FrameworkShowErrorMessage(const std::string& message) {
  FrameworkState& state = GetFrameworkState();
  std::fprintf(stderr, "%s\n", message.c_str());
  if (!state.showMessageBoxOnError || state.options.noErrorMessageBoxes) return;
  Platform::Window* parent = (state.window && !state.window->IsDestroyed()) ? state.window.get() : nullptr;
  const std::string caption = state.windowTitle.empty() ? "Patinex Application" : state.windowTitle;
  Platform::ShowMessageBox(parent, caption, message, Platform::MessageBoxIcon::Error, {"OK"});
}

void FrameworkReportError(Platform::Result result) {
  const FrameworkErrorReport report = FrameworkErrorFor(result);
  FrameworkSetErrorExitCode(report.exitCode);
  if (report.message[0] != '\0') FrameworkShowErrorMessage(report.message);
}
