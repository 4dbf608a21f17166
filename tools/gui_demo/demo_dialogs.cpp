#include "tools/gui_demo/demo_dialogs.h"

#include <cstdio>

#include "framework/ui_check_box.h"
#include "framework/ui_combo_box.h"
#include "framework/ui_edit_box.h"
#include "framework/ui_radio_button.h"
#include "framework/ui_slider.h"
#include "framework/ui_static.h"

namespace {

constexpr uint32_t kColourGroup = 1;
constexpr uint32_t kSizeGroup = 2;
constexpr ArgbColor kPanel = 0xC0202530;
constexpr ArgbColor kPanelBottom = 0xC0181C24;

const char* KindName(int type) {
  switch (type) {
    case kControlButton: return "button";
    case kControlStatic: return "static";
    case kControlCheckBox: return "checkbox";
    case kControlRadioButton: return "radio";
    case kControlComboBox: return "combo";
    case kControlSlider: return "slider";
    case kControlEditBox: return "edit";
    default: return "control";
  }
}

}  // namespace

void BuildControlsDialog(Dialog& dialog) {
  dialog.SetSize(kControlsWidth, kControlsHeight);
  dialog.SetBackgroundColors(kPanel, kPanel, kPanelBottom, kPanelBottom);
  dialog.EnableCaption(true);
  dialog.SetCaptionHeight(22);
  dialog.SetCaptionText("Controls (click here to minimise)");
  dialog.EnableKeyboardInput(true);

  const int left = 16;
  const int fieldX = 96;
  const int fieldWidth = kControlsWidth - fieldX - 16;
  dialog.AddStatic(kIdStatic, "Every control of the toolkit; events go to stdout.", left, 10, kControlsWidth - 32, 20);
  dialog.AddButton(kIdButton, "Press (P)", left, 40, 150, 30, 'P');
  dialog.AddButton(kIdChangeDevice, "Change device (F2)", kControlsWidth - 16 - 174, 40, 174, 30,
                   Platform::VK_F2);
  dialog.AddCheckBox(kIdCheckBox, "Check box (C)", left, 84, 200, 22, false, 'C');

  dialog.AddStatic(kIdLabel, "Colour", left, 116, 70, 22);
  dialog.AddRadioButton(kIdRed, kColourGroup, "Red", fieldX, 116, 70, 22, true);
  dialog.AddRadioButton(kIdGreen, kColourGroup, "Green", fieldX + 84, 116, 80, 22);
  dialog.AddRadioButton(kIdBlue, kColourGroup, "Blue", fieldX + 178, 116, 70, 22);
  dialog.AddStatic(kIdLabel, "Size", left, 146, 70, 22);
  dialog.AddRadioButton(kIdSmall, kSizeGroup, "Small", fieldX, 146, 80, 22);
  dialog.AddRadioButton(kIdLarge, kSizeGroup, "Large", fieldX + 84, 146, 80, 22, true);

  dialog.AddStatic(kIdLabel, "Slider", left, 180, 70, 24);
  dialog.AddSlider(kIdSlider, fieldX, 181, fieldWidth, 22, 0, 100, 50);
  dialog.AddStatic(kIdLabel, "Edit box", left, 216, 70, 32);
  dialog.AddEditBox(kIdEditBox, "Type here", fieldX, 216, fieldWidth, 32);
  dialog.AddStatic(kIdLabel, "Combo box", left, 260, 76, 26);
  CUIComboBox* combo = nullptr;
  dialog.AddComboBox(kIdComboBox, fieldX, 260, fieldWidth, 26, 'O', false, &combo);
  char item[32];
  for (int i = 1; i <= kComboItems; ++i) {
    std::snprintf(item, sizeof item, "Item %d", i);
    combo->AddItem(item, nullptr);
  }
  // The caption sits over the top of the dialog's area and pushes the controls down by its height.
  dialog.AddStatic(kIdLastEvent, "No event yet", left, kControlsHeight - 22 - 34, kControlsWidth - 32, 24);
}

void BuildSecondDialog(Dialog& dialog) {
  dialog.SetSize(kSecondWidth, kSecondHeight);
  dialog.SetBackgroundColors(kPanel, kPanel, kPanelBottom, kPanelBottom);
  dialog.EnableCaption(true);
  dialog.SetCaptionHeight(22);
  dialog.SetCaptionText("Second dialog");
  dialog.EnableKeyboardInput(true);
  dialog.AddStatic(kIdLabel, "Tab moves here too", 16, 8, kSecondWidth - 32, 20);
  dialog.AddButton(kIdOne, "One", 16, 36, 76, 30);
  dialog.AddButton(kIdTwo, "Two", 104, 36, 76, 30);
  dialog.AddCheckBox(kIdSecondCheckBox, "Another check box", 16, 80, kSecondWidth - 32, 22);
}

std::string DescribeEvent(uint32_t eventCode, int controlId, CUIControl* control) {
  char line[400];
  const int type = control ? control->GetType() : -1;
  int length = std::snprintf(line, sizeof line, "event 0x%04x id %d %s", eventCode, controlId, KindName(type));
  std::string description(line, static_cast<size_t>(length));
  switch (type) {
    case kControlCheckBox:
    case kControlRadioButton:
      description += static_cast<CUICheckBox*>(control)->GetChecked() ? " checked 1" : " checked 0";
      break;
    case kControlSlider:
      description += " value " + std::to_string(static_cast<CUISlider*>(control)->GetValue());
      break;
    case kControlComboBox:
      if (ComboBoxItem* selected = static_cast<CUIComboBox*>(control)->GetSelectedItem())
        description += " item \"" + selected->text + "\"";
      break;
    case kControlEditBox:
      description += " text \"" + static_cast<CUIEditBox*>(control)->GetText() + "\"";
      break;
    default:
      break;
  }
  return description;
}
