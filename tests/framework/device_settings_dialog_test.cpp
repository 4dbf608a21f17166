#include <gtest/gtest.h>

#include <vector>

#include "framework/device_settings_dialog.h"
#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_radio_button.h"

using namespace Platform;

namespace {

std::vector<FrameworkDeviceSettings> applied;

Result RecordApply(const FrameworkDeviceSettings& settings) {
  applied.push_back(settings);
  return kOk;
}

class DeviceSettingsDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    applied.clear();
    Dialog::ClearFocus();
    settings.Init(RecordApply);
    current.device.driverType = DriverType::Hardware;
    current.device.syncInterval = 1;
    current.windowed = true;
    current.width = 800;
    current.height = 600;
    settings.ShowSettings(current, 800, 600);
    SurfaceDescription backBuffer;
    backBuffer.width = 1000;
    backBuffer.height = 700;
    settings.OnSwapChainResized(nullptr, backBuffer);  // no device: the size and the place only
  }

  void Click(int id) {
    Dialog& dialog = settings.GetDialog();
    CUIControl* control = dialog.GetControl(id);
    ASSERT_NE(control, nullptr);
    const int top = dialog.Y() + dialog.CaptionHeight();
    const Point point{dialog.X() + control->X() + 5, top + control->Y() + 5};
    settings.HandleEvent(nullptr, WindowEvent::Mouse(EventType::ButtonDown, point, {}, MouseButton::Left));
    settings.HandleEvent(nullptr, WindowEvent::Mouse(EventType::ButtonUp, point, {}, MouseButton::Left));
  }

  CDeviceSettingsDialog settings;
  FrameworkDeviceSettings current;
};

TEST_F(DeviceSettingsDialogTest, IsCentredAndOkAppliesOnlyAChange) {
  Dialog& dialog = settings.GetDialog();
  EXPECT_EQ(dialog.X(), (1000 - CDeviceSettingsDialog::kWidth) / 2);
  EXPECT_EQ(dialog.Y(), (700 - CDeviceSettingsDialog::kHeight - dialog.CaptionHeight()) / 2);

  // Inactive, it takes no messages.
  Click(CDeviceSettingsDialog::kOk);
  EXPECT_TRUE(applied.empty());

  settings.SetActive(true);  // no framework device: shown as the framework would have them
  settings.ShowSettings(current, 800, 600);
  Click(CDeviceSettingsDialog::kOk);
  EXPECT_FALSE(settings.IsActive());
  EXPECT_TRUE(applied.empty());  // nothing changed

  settings.SetActive(true);
  settings.ShowSettings(current, 800, 600);
  settings.GetDialog().GetComboBox(CDeviceSettingsDialog::kRenderer)->SetSelectedByIndex(2);
  Click(CDeviceSettingsDialog::kVsync);
  Click(CDeviceSettingsDialog::kOk);
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0].device.driverType, DriverType::Warp);
  EXPECT_EQ(applied[0].device.syncInterval, 0u);
  EXPECT_TRUE(applied[0].windowed);
  EXPECT_EQ(applied[0].width, 800u);
  EXPECT_FALSE(settings.IsActive());
}

TEST_F(DeviceSettingsDialogTest, FullScreenTakesTheDesktopSizeAndCancelOrEscapeChangeNothing) {
  settings.SetActive(true);
  settings.ShowSettings(current, 640, 480);
  CUIComboBox* size = settings.GetDialog().GetComboBox(CDeviceSettingsDialog::kSize);
  ASSERT_GE(size->GetNumItems(), 1);
  EXPECT_EQ(size->GetSelectedItem()->text, "640 x 480 (now)");

  Click(CDeviceSettingsDialog::kFullScreen);
  EXPECT_FALSE(size->IsEnabled());
  const FrameworkDeviceSettings chosen = settings.ChosenSettings();
  EXPECT_FALSE(chosen.windowed);
  EXPECT_EQ(chosen.width, 0u);
  Click(CDeviceSettingsDialog::kWindowed);
  EXPECT_TRUE(size->IsEnabled());

  Click(CDeviceSettingsDialog::kFullScreen);
  Click(CDeviceSettingsDialog::kCancel);
  EXPECT_FALSE(settings.IsActive());
  settings.SetActive(true);
  EXPECT_TRUE(settings.HandleEvent(nullptr, WindowEvent::Key(EventType::KeyDown, VK_ESCAPE)));
  EXPECT_FALSE(settings.IsActive());
  EXPECT_TRUE(applied.empty());
}

}  // namespace
