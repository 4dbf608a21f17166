#include "framework/ui_radio_button.h"

#include "framework/control_host.h"

void CUIRadioButton::SetCheckedInternal(bool check, bool clearGroup, bool fromInput) {
  if (check && clearGroup) host->ClearRadioButtonGroup(group);
  checked = check;
  host->SendEvent(kEventRadioButtonChanged, fromInput, this);
}
