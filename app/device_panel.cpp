#include "app/control_ids.h"
#include "app/panels.h"
#include "framework/dialog.h"
#include "platform/key_codes.h"

void BuildDevicePanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  panel.AddButton(ID_TOGGLE_FULLSCREEN, "Toggle full screen", 35, 10, 125, 22);
  panel.AddButton(ID_CHANGE_DEVICE, "Change device (F2)", 35, 34, 125, 22, Platform::VK_F2);
  // The two software rasterisers of Mesa, named as the settings dialog names them.
  panel.AddButton(ID_TOGGLE_REF, "Toggle softpipe (F3)", 35, 58, 125, 22, Platform::VK_F3);
  panel.AddButton(ID_TOGGLE_WARP, "Toggle llvmpipe (F4)", 35, 82, 125, 22, Platform::VK_F4);
}
