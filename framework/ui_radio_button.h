#pragma once

#include <cstdint>

#include "framework/ui_check_box.h"

// A check box that, when checked, unchecks the other radio buttons of its group in the dialog.
class CUIRadioButton : public CUICheckBox {
public:
  explicit CUIRadioButton(ControlHost* host) : CUICheckBox(host, kControlRadioButton) {}

  using CUICheckBox::SetCheckedInternal;
  void SetCheckedInternal(bool check, bool fromInput) override { SetCheckedInternal(check, true, fromInput); }
  virtual void SetCheckedInternal(bool check, bool clearGroup, bool fromInput);

  // A change by the program: reported only when the dialog sends programmatic events.
  void SetChecked(bool check, bool clearGroup = true) { SetCheckedInternal(check, clearGroup, false); }
  uint32_t GetButtonGroup() const { return group; }
  void SetButtonGroup(uint32_t buttonGroup) { group = buttonGroup; }

protected:
  void OnClicked() override { SetCheckedInternal(true, true, true); }

private:
  friend class Dialog;  // unchecks group members directly, without events
  uint32_t group = 0;
};
