#include "framework/reference_device_warning.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "framework/framework.h"
#include "framework/framework_state.h"
#include "platform_os/file_system.h"

std::string ReferenceWarningSkipFilePath() {
  const std::string folder = Platform::UserDataFolder();
  if (folder.empty()) return {};
  return folder + "/Patinex/SkipRefWarning.dat";
}

bool ReadSkipReferenceWarning(const std::string& path) {
  if (path.empty()) return false;
  std::ifstream file(path, std::ios::binary);
  uint32_t value = 0;
  if (!file.read(reinterpret_cast<char*>(&value), sizeof value)) return false;
  return value != 0;
}

bool WriteSkipReferenceWarning(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  const uint32_t skip = 1;
  if (!file.write(reinterpret_cast<const char*>(&skip), sizeof skip) || !file.flush()) {
    std::fprintf(stderr, "Could not write %s: the reference-device warning will show again.\n", path.c_str());
    return false;
  }
  return true;
}

void FrameworkShowReferenceDeviceWarning() {
  FrameworkState& state = GetFrameworkState();
  if (!state.showMessageBoxOnError || state.options.noErrorMessageBoxes) return;
  const std::string skipFile = ReferenceWarningSkipFilePath();
  if (ReadSkipReferenceWarning(skipFile)) return;

  const std::string caption = state.windowTitle.empty() ? "Patinex Application" : state.windowTitle;
  Platform::Window* parent = (state.window && !state.window->IsDestroyed()) ? state.window.get() : nullptr;
  const int button = Platform::ShowMessageBox(
      parent, caption,
      "This program needs to use the OpenGL reference device (Mesa's softpipe).  This device implements the entire "
      "OpenGL 3.3 feature set, but runs very slowly.  Do you wish to continue?",
      Platform::MessageBoxIcon::Warning, {"&Yes", "&No", "&Don't show again"});
  if (button == 1) {
    FrameworkShutdown(1);
  } else if (button == 2) {
    WriteSkipReferenceWarning(skipFile);
  }
}
