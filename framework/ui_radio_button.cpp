#include "framework/ui_radio_button.h"

#include "framework/dialog.h"

void CUIRadioButton::SetCheckedInternal(bool check, bool clearGroup, bool fromInput) {
  if (check && clearGroup) dialog->ClearRadioButtonGroup(group);
  checked = check;
  dialog->SendEvent(kEventRadioButtonChanged, fromInput, this);
}
