#include "framework/device_settings_dialog.h"

#include <cstdio>

#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_radio_button.h"
#include "framework/ui_static.h"
#include "platform/display_modes.h"

using namespace Platform;

namespace {

constexpr uint32_t kModeGroup = 1;

// Renderer items, in the order of DriverType.
const char* const kRendererNames[] = {"Hardware", "Reference (softpipe)", "WARP (llvmpipe)"};

}  // namespace

CDeviceSettingsDialog::CDeviceSettingsDialog() = default;

void CDeviceSettingsDialog::Init(ApplyFunction applyFunction) {
  apply = applyFunction;
  dialog.Init(&manager, true);
  dialog.SetCallback(OnEvent, this);
  dialog.SetSize(kWidth, kHeight);
  dialog.SetBackgroundColors(0xF0303440, 0xF0303440, 0xF0262A34, 0xF0262A34);
  dialog.EnableCaption(true);
  dialog.SetCaptionHeight(22);
  dialog.SetCaptionText("Device settings");
  // The settings are set with the keyboard too: Tab, arrows, Enter on a button.
  dialog.EnableKeyboardInput(true);

  const int labelWidth = 92;
  const int fieldX = 16 + labelWidth;
  const int fieldWidth = kWidth - fieldX - 16;
  dialog.AddStatic(kRendererLabel, "Renderer", 16, 12, labelWidth, 24);
  dialog.AddComboBox(kRenderer, fieldX, 12, fieldWidth, 24, 0, false, &renderer);
  for (const char* name : kRendererNames) renderer->AddItem(name, nullptr);
  renderer->SetDropHeight(3 * 18 + 8);

  dialog.AddRadioButton(kWindowed, kModeGroup, "Windowed", 16, 48, 120, 22, true, 0, false, &windowed);
  dialog.AddRadioButton(kFullScreen, kModeGroup, "Full screen", fieldX + 28, 48, 130, 22, false, 0, false,
                        &fullScreen);

  dialog.AddStatic(kSizeLabel, "Back buffer", 16, 82, labelWidth, 24);
  dialog.AddComboBox(kSize, fieldX, 82, fieldWidth, 24, 0, false, &size);

  dialog.AddCheckBox(kVsync, "Vertical sync", 16, 116, 150, 22, true, 0, false, &vsync);

  // The caption covers the top of the dialog's area and pushes the controls down by its height.
  const int buttonWidth = 90;
  const int buttonTop = kHeight - dialog.CaptionHeight() - 42;
  dialog.AddButton(kOk, "OK", kWidth - 2 * buttonWidth - 26, buttonTop, buttonWidth, 30, 0, true);
  dialog.AddButton(kCancel, "Cancel", kWidth - buttonWidth - 16, buttonTop, buttonWidth, 30);
}

void CDeviceSettingsDialog::SetActive(bool active) {
  settingsDialogActive = active;
  // The focus is one for all dialogs: the application's must not keep it behind this one.
  Dialog::ClearFocus();
  if (!active) return;
  const SurfaceDescription backBuffer = FrameworkGetBackBufferDescription();
  ShowSettings(FrameworkGetDeviceSettings(), backBuffer.width, backBuffer.height);
}

void CDeviceSettingsDialog::FillSizes(uint32_t currentWidth, uint32_t currentHeight) {
  sizes.clear();
  size->RemoveAllItems();
  if (currentWidth > 0 && currentHeight > 0) sizes.push_back(Size{currentWidth, currentHeight});
  for (const DisplayMode& mode : DisplayModes()) {
    const Size modeSize{static_cast<uint32_t>(mode.width), static_cast<uint32_t>(mode.height)};
    if (modeSize.width == currentWidth && modeSize.height == currentHeight) continue;
    sizes.push_back(modeSize);
  }
  const bool firstIsCurrent = currentWidth > 0 && currentHeight > 0;
  char label[64];
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::snprintf(label, sizeof label, i == 0 && firstIsCurrent ? "%u x %u (now)" : "%u x %u", sizes[i].width,
                  sizes[i].height);
    size->AddItem(label, nullptr);
  }
}

void CDeviceSettingsDialog::ShowSettings(const FrameworkDeviceSettings& settings, uint32_t backBufferWidth,
                                         uint32_t backBufferHeight) {
  shown = settings;
  renderer->SetSelectedByIndex(static_cast<int>(settings.device.driverType));
  windowed->SetChecked(settings.windowed);
  fullScreen->SetChecked(!settings.windowed);
  FillSizes(backBufferWidth, backBufferHeight);
  if (!sizes.empty()) size->SetSelectedByIndex(0);
  vsync->SetChecked(settings.device.syncInterval != 0);
  UpdateSizeEnabled();
}

// Full screen always uses the desktop's resolution, so the size applies to a window only.
void CDeviceSettingsDialog::UpdateSizeEnabled() { size->SetEnabled(windowed->GetChecked() && !sizes.empty()); }

FrameworkDeviceSettings CDeviceSettingsDialog::ChosenSettings() const {
  FrameworkDeviceSettings chosen = shown;
  const int driver = renderer->GetSelectedIndex();
  if (driver >= 0) chosen.device.driverType = static_cast<DriverType>(driver);
  chosen.windowed = windowed->GetChecked();
  const int sizeIndex = size->GetSelectedIndex();
  if (chosen.windowed && sizeIndex >= 0 && static_cast<size_t>(sizeIndex) < sizes.size()) {
    chosen.width = sizes[static_cast<size_t>(sizeIndex)].width;
    chosen.height = sizes[static_cast<size_t>(sizeIndex)].height;
  } else if (!chosen.windowed) {
    chosen.width = chosen.height = 0;
  }
  chosen.device.syncInterval = vsync->GetChecked() ? 1 : 0;
  return chosen;
}

void CDeviceSettingsDialog::Accept() {
  const FrameworkDeviceSettings chosen = ChosenSettings();
  SetActive(false);
  const bool changed = chosen.device.driverType != shown.device.driverType || chosen.windowed != shown.windowed ||
                       chosen.width != shown.width || chosen.height != shown.height ||
                       chosen.device.syncInterval != shown.device.syncInterval;
  if (!changed || !apply) return;
  const Result result = apply(chosen);
  if (Failed(result)) std::fprintf(stderr, "Could not change the device settings (result 0x%08X).\n", result);
}

void CDeviceSettingsDialog::OnEvent(uint32_t eventCode, int controlId, CUIControl*, void* context) {
  CDeviceSettingsDialog& self = *static_cast<CDeviceSettingsDialog*>(context);
  if (eventCode == kEventRadioButtonChanged) self.UpdateSizeEnabled();
  if (eventCode != kEventButtonClicked) return;
  if (controlId == kOk) self.Accept();
  else if (controlId == kCancel) self.SetActive(false);
}

void CDeviceSettingsDialog::Centre() {
  const int width = manager.BackBufferWidth();
  const int height = manager.BackBufferHeight();
  const int total = kHeight + dialog.CaptionHeight();
  dialog.SetLocation((width - kWidth) / 2, (height - total) / 2);
}

Result CDeviceSettingsDialog::OnDeviceCreated(GraphicsDevice* device) { return manager.OnDeviceCreated(device); }

Result CDeviceSettingsDialog::OnSwapChainResized(GraphicsDevice* device, const SurfaceDescription& backBuffer) {
  const Result result = manager.OnSwapChainResized(device, backBuffer);
  Centre();
  return result;
}

void CDeviceSettingsDialog::OnSwapChainReleasing() { manager.OnSwapChainReleasing(); }

void CDeviceSettingsDialog::OnDeviceDestroyed() { manager.OnDeviceDestroyed(); }

bool CDeviceSettingsDialog::HandleEvent(Window* window, const WindowEvent& event) {
  if (!settingsDialogActive) return false;
  if (manager.HandleEvent(window, event)) return true;
  if (event.type == EventType::KeyDown && event.key == VK_ESCAPE) {
    SetActive(false);  // Escape cancels rather than closing the window
    return true;
  }
  return dialog.HandleEvent(window, event);
}

Result CDeviceSettingsDialog::Render(float elapsedSeconds) {
  if (!settingsDialogActive) return kOk;
  return dialog.Render(elapsedSeconds);
}
