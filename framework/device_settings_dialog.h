#pragma once

#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_resource_manager.h"
#include "framework/framework.h"

class CUIComboBox;
class CUIRadioButton;
class CUICheckBox;

// The dialog behind "Change device": renderer, window mode, back-buffer size and vertical sync.
// It has its own resource manager, so Tab stays inside it and its device objects follow the
// callbacks the application passes on. While it is active the application sends it the window
// events and draws it instead of its own dialogs.
class CDeviceSettingsDialog {
public:
  // How a change is made; FrameworkChangeDevice unless a test says otherwise.
  using ApplyFunction = Platform::Result (*)(const FrameworkDeviceSettings& settings);

  CDeviceSettingsDialog();
  void Init(ApplyFunction apply = FrameworkChangeDevice);

  bool IsActive() const { return settingsDialogActive; }
  // Activating reads the framework's current settings into the controls.
  void SetActive(bool active);

  Platform::Result OnDeviceCreated(Platform::GraphicsDevice* device);
  // Keeps the dialog centred in the back buffer.
  Platform::Result OnSwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription& backBuffer);
  void OnSwapChainReleasing();
  void OnDeviceDestroyed();
  bool HandleEvent(Platform::Window* window, const Platform::WindowEvent& event);
  Platform::Result Render(float elapsedSeconds);

  // The settings the controls show now.
  FrameworkDeviceSettings ChosenSettings() const;
  // Fills the controls from settings; backBufferWidth/Height is the window's size now.
  void ShowSettings(const FrameworkDeviceSettings& settings, uint32_t backBufferWidth, uint32_t backBufferHeight);

  Dialog& GetDialog() { return dialog; }
  DialogResourceManager& Manager() { return manager; }

  enum ControlId {
    kRendererLabel = 1,
    kRenderer,
    kWindowed,
    kFullScreen,
    kSizeLabel,
    kSize,
    kVsync,
    kOk,
    kCancel,
  };
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 212;

private:
  struct Size {
    uint32_t width;
    uint32_t height;
  };

  static void OnEvent(uint32_t eventCode, int controlId, CUIControl* control, void* context);
  void Accept();
  void FillSizes(uint32_t currentWidth, uint32_t currentHeight);
  void UpdateSizeEnabled();
  void Centre();

  DialogResourceManager manager;
  Dialog dialog;
  ApplyFunction apply = FrameworkChangeDevice;
  bool settingsDialogActive = false;
  FrameworkDeviceSettings shown;  // what the dialog was opened with: fields it does not show
  std::vector<Size> sizes;        // the size combo's items, in order
  CUIComboBox* renderer = nullptr;
  CUIRadioButton* windowed = nullptr;
  CUIRadioButton* fullScreen = nullptr;
  CUIComboBox* size = nullptr;
  CUICheckBox* vsync = nullptr;
};
