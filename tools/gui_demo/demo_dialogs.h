#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"

class CUIControl;

// The demo's two dialogs: one with every kind of control, and a small one beside it so that Tab
// can be seen moving across dialogs.
enum DemoControlId {
  kIdStatic = 1,
  kIdButton,
  kIdChangeDevice,
  kIdCheckBox,
  kIdRed,
  kIdGreen,
  kIdBlue,
  kIdSmall,
  kIdLarge,
  kIdSlider,
  kIdEditBox,
  kIdComboBox,
  kIdLastEvent,
  kIdLabel = -1,
  kIdOne = 30,
  kIdTwo,
  kIdSecondCheckBox,
};

inline constexpr int kControlsWidth = 372;
inline constexpr int kControlsHeight = 388;
inline constexpr int kSecondWidth = 196;
inline constexpr int kSecondHeight = 136;
inline constexpr int kComboItems = 20;

void BuildControlsDialog(Dialog& dialog);
void BuildSecondDialog(Dialog& dialog);

// One line per event: "event 0x0101 id 2 button", followed by the control's new state where it
// has one (" value 37", " checked 1", " item \"Item 4\"", " text \"...\"").
std::string DescribeEvent(uint32_t eventCode, int controlId, CUIControl* control);
